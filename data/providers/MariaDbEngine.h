#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <memory>

namespace vdata {

// Connects to a MariaDB or MySQL server through MariaDB Connector/C
// ("Provider=MariaDB") and returns the open session. "Data Source" names
// the server (HOST, HOST,PORT, HOST:PORT or a socket path; empty, "." or
// "(local)" for the default socket), "Initial Catalog" the database,
// "uid"/"pwd" a login; without "uid" the operating-system identity logs in
// (the server's unix_socket login). Raises DataError with the client's
// message when the connection fails.
std::unique_ptr<Engine> openMariaDbEngine(const ConnectionString& cs);

} // namespace vdata
