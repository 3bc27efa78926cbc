#include "data/providers/SqliteTableStream.h"

#include "data/providers/SqliteRows.h"
#include "data/service/Errors.h"
#include "data/service/RowBatch.h"

#include <limits>

namespace vdata {
namespace {

constexpr std::int64_t beforeFirst = std::numeric_limits<std::int64_t>::min();

std::string chunkSql(const std::string& table, const std::string& rowid) {
    return "SELECT " + rowid + ", * FROM " + table + " WHERE " + rowid + " > ?1 AND " + rowid +
           " <= ?2 ORDER BY " + rowid + " LIMIT ?3";
}

} // namespace

std::unique_ptr<SqliteTableStream> SqliteTableStream::open(const SqliteApi& api, sqlite3* db,
                                                           const std::string& table,
                                                           const std::string& rowid,
                                                           std::optional<std::int64_t> after) {
    std::int64_t largest = beforeFirst;
    try {
        // Each in a query of its own, which SQLite answers from the b-tree's
        // ends; together in one they would scan the table.
        SqliteStatement bounds(api, db,
                               "SELECT (SELECT min(" + rowid + ") FROM " + table +
                                   "), (SELECT max(" + rowid + ") FROM " + table + ")");
        bounds.step();
        // The smallest rowid there is cannot come after another.
        if (const Value least = bounds.column(0);
            least.kind == Value::Kind::Int && least.i == beforeFirst) {
            return nullptr;
        }
        const Value top = bounds.column(1);
        largest = top.isNull() ? beforeFirst : top.i;
    } catch (const DataError&) {
        return nullptr; // no rowid to go by: the caller reads the rows at once
    }
    return std::make_unique<SqliteTableStream>(api, db, table, rowid, after.value_or(beforeFirst),
                                               largest);
}

SqliteTableStream::SqliteTableStream(const SqliteApi& api, sqlite3* db, const std::string& table,
                                     const std::string& rowid, std::int64_t last,
                                     std::int64_t largest)
    : api_(api), chunk_(api, db, chunkSql(table, rowid)), last_(last), largest_(largest) {}

template <class Rows> bool SqliteTableStream::readChunk(Rows& rows, std::size_t maxRows) {
    if (last_ >= largest_) {
        return false;
    }
    chunk_.bindAll({Value::integer(last_), Value::integer(largest_),
                    Value::integer(static_cast<std::int64_t>(maxRows))});
    std::size_t read = 0;
    try {
        while (chunk_.step()) {
            last_ = api_.column_int64(chunk_.handle(), 0);
            appendSqliteRow(api_, chunk_.handle(), rows, 1);
            ++read;
        }
    } catch (...) {
        chunk_.reset();
        throw;
    }
    chunk_.reset(); // ends the read transaction until the next chunk
    if (read < maxRows) {
        last_ = largest_;
    }
    return last_ < largest_;
}

template bool SqliteTableStream::readChunk(Snapshot&, std::size_t);
template bool SqliteTableStream::readChunk(RowBatch&, std::size_t);

} // namespace vdata
