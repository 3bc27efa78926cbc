#pragma once

#include "data/providers/SqliteApi.h"
#include "data/service/SchemaCatalog.h"

namespace vdata {

// The completion's catalogue of a SQLite database in one query: every user
// table and view with its columns, and every declared foreign key (one that
// names no referenced columns references the primary key).
SchemaCatalog readSqliteCatalog(const SqliteApi& api, sqlite3* db);

} // namespace vdata
