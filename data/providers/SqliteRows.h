#pragma once

#include "data/providers/SqliteApi.h"
#include "data/service/Snapshot.h"

namespace vdata {

// Appends the statement's current row to `rows`, its columns from `from` on.
void appendSqliteRow(const SqliteApi& api, sqlite3_stmt* stmt, Snapshot& rows, int from = 0);

} // namespace vdata
