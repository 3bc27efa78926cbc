#pragma once

#include <string>
#include <vector>

namespace vdata {

// The data source names of the user's and the system's odbc.ini, as the
// driver manager reports them (unixODBC reads the files that ODBCINI and
// ODBCSYSINI name when they are set).
std::vector<std::string> dataSourceNames();

} // namespace vdata
