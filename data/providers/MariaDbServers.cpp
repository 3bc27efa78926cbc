#include "data/providers/MariaDbServers.h"

#include "data/providers/LocalProbe.h"

#include <filesystem>
#include <set>

namespace vdata {

std::vector<std::string> localMariaDbServers() {
    namespace fs = std::filesystem;
    std::vector<std::string> servers;
    std::set<fs::path> seen; // /var/run is usually /run
    for (const char* socket :
         {"/run/mysqld/mysqld.sock", "/var/run/mysqld/mysqld.sock", "/tmp/mysql.sock"}) {
        std::error_code ec;
        const fs::path real = fs::canonical(socket, ec);
        if (!ec && seen.insert(real).second && fs::is_socket(real, ec) &&
            socketAcceptsConnections(real)) {
            servers.emplace_back(socket);
        }
    }
    if (loopbackPortOpen(3306)) {
        servers.emplace_back("localhost");
    }
    return servers;
}

} // namespace vdata
