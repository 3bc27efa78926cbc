#pragma once

#include "data/providers/OdbcHandle.h"
#include "data/providers/OdbcSession.h"
#include "data/service/Engine.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vdata {

// Reads the rows of a table in its primary key's order, a chunk at a time:
// each chunk is one short statement, closed before the next, that takes the
// rows after the last key read (bound as parameters, so that the server
// compares them by its own collation). No cursor or lock is held between
// chunks, so edits made on the session meanwhile neither wait nor fail.
// Rows whose key comes after the last one at the start are left to the next
// read, so that a row added meanwhile is not read as well as shown.
class OdbcKeyRangeStream : public RowStream {
public:
    // Reads the first `count` rows of `table` (by its primary key `key`);
    // the result's rest is the stream when rows remain. None when the
    // result lacks a key column. `trustSizes` as for describeOdbcColumns.
    static std::optional<SteppedResult> open(OdbcSession& session, bool trustSizes,
                                             const std::string& table,
                                             const std::vector<std::string>& key,
                                             std::size_t count);

    bool readMore(Snapshot& rows, std::size_t maxRows) override;

private:
    OdbcKeyRangeStream(OdbcSession& session, bool trustSizes, const std::string& table,
                       const std::vector<std::string>& key);

    void findEnd();
    bool findKey();
    // Prepares, binds and runs a statement of this system's SQL.
    OdbcHandle run(const std::string& sql, const std::vector<Value>& params);
    void readChunk(Snapshot& rows, std::size_t limit);
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
    bool done_ = false;
};

} // namespace vdata
