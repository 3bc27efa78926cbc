#pragma once

#include "data/service/ConnectionString.h"

#include <string>
#include <utility>
#include <vector>

namespace vdata {

// Where a server name points: a host name, an IP address or a socket
// directory, and a port.
struct PostgresAddress {
    std::string host;
    std::string port;
};

// The socket directory that "(local)" means (libpq's compiled-in default).
const char* defaultSocketDirectory();
constexpr const char* defaultPostgresPort = "5432";

// Reads a server name: "(local)", "." or an empty name is the default socket
// directory; an absolute path is a socket directory; anything else a host.
// A port may follow after "," or ":" ("host,5433", "host:5433", "/tmp,5433",
// "[::1]:5433"); without one the port is 5432.
PostgresAddress parseServerName(const std::string& name);

// The name that parseServerName reads back as this socket directory and
// port: "(local)" for the default directory on 5432, "(local),5433",
// "/tmp" for 5432 in another directory, "/tmp,5433".
std::string serverNameForSocket(const std::string& directory, int port);

// libpq connection keywords and values for a "Provider=SQLOLEDB.1" string.
std::vector<std::pair<std::string, std::string>> postgresConnectParams(const ConnectionString& cs);

} // namespace vdata
