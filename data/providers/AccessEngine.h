#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <memory>

namespace vdata {

// Opens the Access file (.mdb or .accdb) named by "Data Source", read-only.
// Statements run in the SQLite dialect on an in-memory copy of the tables
// they name. A file with a database password opens only with that password
// in "Jet OLEDB:Database Password"; for a file without one it is ignored.
std::unique_ptr<Engine> openAccessEngine(const ConnectionString& cs);

} // namespace vdata
