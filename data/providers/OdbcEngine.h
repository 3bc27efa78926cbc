#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <memory>

namespace vdata {

// Connects through ODBC ("Provider=ODBC"; see OdbcConnectionString.h for
// the keys) and returns the open session. Raises DataError (Connection)
// with the driver's message when the connection fails.
std::unique_ptr<Engine> openOdbcEngine(const ConnectionString& cs);

} // namespace vdata
