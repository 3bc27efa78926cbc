#pragma once

#include "data/service/SourceEnumerator.h"

namespace vdata {

// The servers each enumerator of this program reports:
// - "SQLOLEDB Enumerator": the PostgreSQL servers found on this host;
// - "SQL Server Enumerator": the SQL Server instances that answer the
//   SQL Server Browser on the local networks or on options.browserHost
//   (HOST\INSTANCE, or HOST);
// - "MariaDB Enumerator": the MariaDB or MySQL servers on this host;
// - "ODBC Enumerator": the user's and the system's ODBC data source names.
// An unknown progId raises DataError. installProviders() makes this the
// service's enumerateSources.
std::vector<SourceRow> listServerSources(const std::string& progId, const SourceOptions& options);

} // namespace vdata
