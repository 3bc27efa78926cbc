#pragma once

#include "data/providers/SqliteApi.h"
#include "data/service/Errors.h"

#include <cstddef>
#include <string_view>

namespace vdata {

// Appends the statement's current row to `rows` (a Snapshot or a RowBatch),
// its columns from `from` on. A statement prepared again after the table's
// columns changed has other columns than `rows`: that raises, appending
// nothing.
template <class Rows>
void appendSqliteRow(const SqliteApi& api, sqlite3_stmt* stmt, Rows& rows, int from = 0) {
    const int count = api.column_count(stmt);
    if (static_cast<std::size_t>(count - from) != rows.columnCount()) {
        throw DataError(tableChangedWhileRead);
    }
    for (int i = from; i < count; ++i) {
        switch (api.column_type(stmt, i)) {
        case SQLITE_INTEGER:
            rows.appendInt(api.column_int64(stmt, i));
            break;
        case SQLITE_FLOAT:
            rows.appendReal(api.column_double(stmt, i));
            break;
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(api.column_text(stmt, i));
            rows.appendText({p, static_cast<std::size_t>(api.column_bytes(stmt, i))});
            break;
        }
        case SQLITE_BLOB: {
            const auto* p = static_cast<const char*>(api.column_blob(stmt, i));
            const auto n = static_cast<std::size_t>(api.column_bytes(stmt, i));
            rows.appendBlob(p ? std::string_view(p, n) : std::string_view());
            break;
        }
        default:
            rows.appendNull();
        }
    }
}

} // namespace vdata
