#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// The instance names in one SQL Server Browser answer (SVR_RESP: 0x05, a
// little-endian 16-bit length, then "ServerName;H;InstanceName;I;...;;"
// records): HOST\INSTANCE, or HOST for the default instance. A malformed
// packet names none.
std::vector<std::string> browserAnswerInstances(std::string_view packet);

// Asks every SQL Server Browser on the local networks (by broadcast) and on
// this host for its instances (CLNT_BCAST_EX to UDP `port`), or only the one
// on `host` when it is given (CLNT_UCAST_EX), and collects the answers for
// `wait`. Each instance once, sorted.
std::vector<std::string> browseSqlServers(std::uint16_t port, std::chrono::milliseconds wait,
                                          const std::string& host = {});

} // namespace vdata
