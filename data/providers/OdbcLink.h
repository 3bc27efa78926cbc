#pragma once

#include "data/providers/OdbcHandle.h"

#include <memory>
#include <string>

namespace vdata {

// How long connecting through ODBC may take before it is given up.
inline constexpr int odbcConnectSeconds = 10;

// A connection handle with the environment it lives in; disconnected and
// freed when the last owner lets it go.
struct OdbcLink {
    OdbcHandle env;
    OdbcHandle dbc;
    bool connected = false;

    OdbcLink();
    ~OdbcLink();
    OdbcLink(const OdbcLink&) = delete;
    OdbcLink& operator=(const OdbcLink&) = delete;
};

// Connects with the driver's own connection string. The driver's login
// timeout bounds the network connect only, not a server that accepts and
// never answers (another kind of server on the port, a hung one), so the
// connect runs on a thread of its own and is given up after
// odbcConnectSeconds, or when the progress callback asks to stop (Cancelled).
// A connect given up ends by itself when the driver returns, and frees what
// it holds then. Raises DataError (Connection) with the driver's message, or
// saying that the server did not answer.
std::shared_ptr<OdbcLink> connectOdbc(const std::string& text);

} // namespace vdata
