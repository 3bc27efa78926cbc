#include "data/providers/ServerEnumerator.h"

#include "data/providers/LocalProbe.h"
#include "data/providers/PostgresServerName.h"
#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include "data/providers/DataSourceNames.h"
#include "data/providers/MariaDbServers.h"
#include "data/providers/SqlServerBrowser.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

namespace vdata {

namespace {

namespace fs = std::filesystem;

const char* const socketPrefix = ".s.PGSQL.";

// The ports of the live servers whose sockets are in `directory`.
std::vector<int> serverPorts(const fs::path& directory) {
    std::vector<int> ports;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(socketPrefix, 0) != 0 ||
            name.find('.', std::strlen(socketPrefix)) != std::string::npos) {
            continue; // skips the ".lock" files
        }
        const std::string digits = name.substr(std::strlen(socketPrefix));
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit) ||
            digits.size() > 5) {
            continue;
        }
        std::error_code typeError;
        if (entry.is_socket(typeError) && socketAcceptsConnections(entry.path())) {
            ports.push_back(std::stoi(digits));
        }
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

// Servers on this host: live sockets in the standard socket directories
// (each directory once, however it is reached), then the default port on
// loopback unless a socket already showed a server on that port.
std::vector<SourceRow> postgresSources() {
    std::vector<SourceRow> rows;
    std::set<fs::path> seen;
    bool defaultPortSeen = false;
    const std::string defaultDir = defaultSocketDirectory();
    for (const char* dir : {defaultDir.c_str(), "/var/run/postgresql", "/run/postgresql", "/tmp"}) {
        std::error_code ec;
        const fs::path real = fs::canonical(dir, ec);
        if (ec || !seen.insert(real).second) {
            continue;
        }
        const bool isDefault = fs::equivalent(real, defaultDir, ec);
        for (int port : serverPorts(real)) {
            const std::string name =
                serverNameForSocket(isDefault ? defaultDir : std::string(dir), port);
            const std::string socket =
                (fs::path(dir) / (socketPrefix + std::to_string(port))).string();
            rows.push_back({name, 1, "PostgreSQL server on socket " + socket});
            defaultPortSeen = defaultPortSeen || port == 5432;
        }
    }
    if (!defaultPortSeen && loopbackPortOpen(5432)) {
        rows.push_back({"127.0.0.1", 1, "PostgreSQL server on 127.0.0.1 port 5432"});
    }
    return rows;
}

// One row per name, each described as `what`.
std::vector<SourceRow> rowsOf(const std::vector<std::string>& names, const std::string& what) {
    std::vector<SourceRow> rows;
    for (const std::string& name : names) {
        rows.push_back({name, 1, what});
    }
    return rows;
}

} // namespace

std::vector<SourceRow> listServerSources(const std::string& progId, const SourceOptions& options) {
    if (equalsIgnoreCase(progId, "SQLOLEDB Enumerator")) {
        return postgresSources();
    }
    if (equalsIgnoreCase(progId, "SQL Server Enumerator")) {
        return rowsOf(
            browseSqlServers(options.browserPort, options.browserWait, options.browserHost),
            "SQL Server instance");
    }
    if (equalsIgnoreCase(progId, "MariaDB Enumerator")) {
        return rowsOf(localMariaDbServers(), "MariaDB or MySQL server on this host");
    }
    if (equalsIgnoreCase(progId, "ODBC Enumerator")) {
        return rowsOf(dataSourceNames(), "ODBC data source");
    }
    throw DataError("The enumerator \"" + progId + "\" is not registered");
}

} // namespace vdata
