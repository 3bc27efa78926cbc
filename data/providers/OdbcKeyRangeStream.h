#pragma once

#include "data/providers/OdbcHandle.h"
#include "data/providers/OdbcSession.h"
#include "data/service/Engine.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vdata {

// The keys (in key order) of rows that writes on the session put where a
// read of `table` may still come: a key typed over, a row added.
struct OdbcWrittenKeys {
    std::string table;
    std::vector<std::vector<Value>> keys;
};

// Reads the rows of a table in its primary key's order, a chunk at a time:
// each chunk is one short statement, closed before the next, that takes the
// rows after the last key read (bound as parameters, so that the server
// compares them by its own collation). No cursor or lock is held between
// chunks, so edits made on the session meanwhile neither wait nor fail.
// Rows whose key comes after the last one at the start are left to the next
// read, so that a row added meanwhile is not read as well as shown; a row
// that a write on the session put ahead of the read (`written`) is left out
// when the read comes to it if the rows read already hold it.
class OdbcKeyRangeStream : public RowStream {
public:
    // Reads the first `count` rows of `written->table` (by its primary key
    // `key`); the result's rest is the stream when rows remain. None when
    // the result lacks a key column. The session's writes add keys to
    // `written` while the stream lives. `trustSizes` as for
    // describeOdbcColumns.
    static std::optional<SteppedResult> open(OdbcSession& session, bool trustSizes,
                                             const std::vector<std::string>& key,
                                             std::shared_ptr<OdbcWrittenKeys> written,
                                             std::size_t count);

    bool readMore(Snapshot& rows, std::size_t maxRows) override;

private:
    OdbcKeyRangeStream(OdbcSession& session, bool trustSizes, const std::vector<std::string>& key,
                       std::shared_ptr<OdbcWrittenKeys> written);

    void findEnd();
    bool findKey();
    // Prepares, binds and runs a statement of this system's SQL.
    OdbcHandle run(const std::string& sql, const std::vector<Value>& params);
    void readChunk(Snapshot& rows, std::size_t limit);
    std::vector<Value> keyOf(const Snapshot& rows, std::size_t row) const;
    void settleWritten();
    bool ahead(const std::vector<Value>& key);
    void appendUnlisted(const Snapshot& chunk, Snapshot& rows);
    std::string after(const std::vector<Value>& key, std::vector<Value>& params) const;

    OdbcSession& session_;
    bool trustSizes_;
    std::string table_;              // bracketed
    std::vector<std::string> key_;   // bracketed
    std::vector<std::string> names_; // the key's columns as the table names them
    std::vector<ColumnInfo> columns_;
    std::vector<std::size_t> keyAt_; // the result column of each key column
    std::vector<Value> last_;        // the key of the last row read; empty before the first
    std::vector<Value> end_;         // the key of the last row at the start; empty: none
    std::shared_ptr<OdbcWrittenKeys> written_; // those still ahead of the read
    bool done_ = false;
};

} // namespace vdata
