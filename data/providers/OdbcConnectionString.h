#pragma once

#include "data/service/ConnectionString.h"

#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// A value in an ODBC connection string: as it is, or in braces ('}' inside
// doubled) when it holds ';', '=', a brace or blanks at either end.
std::string odbcValue(std::string_view value);

// The driver names registered in odbcinst.ini, in its order.
std::vector<std::string> installedOdbcDrivers();

// The driver's own connection string for "Provider=ODBC": "Server Type"
// (SQL Server, MariaDB or ODBC) picks the driver among `drivers` (FreeTDS
// first for SQL Server, else the first whose name holds "SQL Server";
// MariaDB's, else MySQL's), "Data Source" the server as typed (HOST,
// HOST\INSTANCE, HOST,PORT or a socket path) or the data source name,
// "Initial Catalog" the database, and the login: uid/pwd by name, or the
// operating-system identity for "Integrated Security". Raises DataError
// (Connection) when no driver fits or the server type is unknown.
std::string odbcConnectionText(const ConnectionString& cs, const std::vector<std::string>& drivers,
                               const std::string& osUser);

} // namespace vdata
