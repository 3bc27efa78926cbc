#pragma once

#include "data/providers/SqliteStatement.h"
#include "data/service/Engine.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vdata {

// Reads every row of a rowid table in chunks by rowid, in rowid order (the
// order a plain SELECT * shows them in). Between chunks no statement is
// active, so the file is not locked: a write by this connection or another
// one never waits long for the read. Each chunk goes on after the last rowid
// read, and rows added after the start (rowid above the largest one then)
// are left to the next read, so that no row is read twice.
class SqliteTableStream : public RowStream {
public:
    // A stream over `table` (quoted) through its rowid's name `rowid`, from
    // its first row or from the first after rowid `after`; null when the
    // table's rows cannot be read by rowid.
    static std::unique_ptr<SqliteTableStream> open(const SqliteApi& api, sqlite3* db,
                                                   const std::string& table,
                                                   const std::string& rowid,
                                                   std::optional<std::int64_t> after = {});
    // The rows after rowid `last` up to rowid `largest`.
    SqliteTableStream(const SqliteApi& api, sqlite3* db, const std::string& table,
                      const std::string& rowid, std::int64_t last, std::int64_t largest);

    bool readMore(Snapshot& rows, std::size_t maxRows) override { return readChunk(rows, maxRows); }
    // The same into a Snapshot or a RowBatch.
    template <class Rows> bool readChunk(Rows& rows, std::size_t maxRows);

    // The statement that reads each chunk: the rowid, then the table's columns.
    const SqliteStatement& statement() const { return chunk_; }
    std::int64_t last() const { return last_; }
    std::int64_t largest() const { return largest_; }

private:
    const SqliteApi& api_;
    SqliteStatement chunk_;
    std::int64_t last_;
    std::int64_t largest_;
};

} // namespace vdata
