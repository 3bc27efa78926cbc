#pragma once

#include <string>
#include <vector>

namespace vdata {

// The MariaDB or MySQL servers on this host: each standard socket with a
// server behind it, by its path, then "localhost" when something listens on
// 127.0.0.1 port 3306.
std::vector<std::string> localMariaDbServers();

} // namespace vdata
