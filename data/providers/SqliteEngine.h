#pragma once

#include "data/providers/SqliteApi.h"
#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <memory>

namespace vdata {

// Opens the SQLite file named by "Data Source"; with "Jet OLEDB:Database
// Password" the file is opened as an SQLCipher database with that key.
// Never creates a file. The file provider (ProviderRegistry.h) has checked
// that the file exists before.
std::unique_ptr<Engine> openSqliteEngine(const ConnectionString& cs);

// An empty in-memory database on the system SQLite library. `db` receives its
// handle so that the caller can fill it; the engine owns and closes it.
std::unique_ptr<Engine> openSqliteMemoryEngine(sqlite3*& db);

} // namespace vdata
