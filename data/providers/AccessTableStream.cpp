#include "data/providers/AccessTableStream.h"

#include "data/providers/SqliteTableStream.h"
#include "data/service/WriteBackSql.h"

#include <chrono>
#include <limits>

namespace vdata {

AccessTableStream::AccessTableStream(AccessTableCopier& copier, sqlite3* db, std::string table,
                                     std::string rowid, std::int64_t read)
    : copier_(copier), db_(db), table_(std::move(table)), quoted_(quoteIdentifier(table_)),
      rowid_(std::move(rowid)), read_(read) {}

bool AccessTableStream::readMore(Snapshot& rows, std::size_t maxRows) {
    // Short enough not to be felt between two input events.
    constexpr std::chrono::milliseconds stepWait{5};
    const AccessTableCopier::State state = copier_.copySome(table_, maxRows, stepWait);
    const std::int64_t copied = state.whole ? std::numeric_limits<std::int64_t>::max() : state.rows;
    SqliteTableStream chunk(systemSqlite(), db_, quoted_, rowid_, read_, copied);
    const bool more = chunk.readMore(rows, maxRows);
    read_ = chunk.last();
    // A copy that failed is raised once its rows are read.
    if (state.failure && read_ >= state.rows) {
        std::rethrow_exception(state.failure);
    }
    return more || !state.whole;
}

} // namespace vdata
