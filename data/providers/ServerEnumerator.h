#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vdata {

// One row of an enumerator's sources row set.
struct SourceRow {
    std::string name;        // SOURCES_NAME
    int type = 1;            // SOURCES_TYPE: 1 = data source
    std::string description; // SOURCES_DESCRIPTION
};

// Where the network enumerators look, and for how long.
struct SourceOptions {
    std::uint16_t browserPort = 1434; // the SQL Server Browser's UDP port
    std::chrono::milliseconds browserWait{1000};
    std::string browserHost{}; // asks only this host's SQL Server Browser
};

// The sources that the enumerator registered under progId reports:
// - "SQLOLEDB Enumerator": the PostgreSQL servers found on this host;
// - "SQL Server Enumerator": the SQL Server instances that answer the
//   SQL Server Browser on the local networks or on options.browserHost
//   (HOST\INSTANCE, or HOST);
// - "MariaDB Enumerator": the MariaDB or MySQL servers on this host;
// - "ODBC Enumerator": the user's and the system's ODBC data source names.
// An unknown progId raises DataError.
std::vector<SourceRow> enumerateSources(const std::string& progId,
                                        const SourceOptions& options = {});

} // namespace vdata
