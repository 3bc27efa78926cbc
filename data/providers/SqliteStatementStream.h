#pragma once

#include "data/providers/SqliteStatement.h"
#include "data/service/Engine.h"
#include "data/service/RowBatch.h"

#include <memory>
#include <optional>
#include <vector>

namespace vdata {

class SqliteStatementStream;

// The statements of one connection whose rows are still being read in
// steps. Before the connection writes, each reads its rest at once (see
// SqliteStatementStream::finishNow).
class SqliteOpenReads {
public:
    void add(SqliteStatementStream* stream) { streams_.push_back(stream); }
    void remove(SqliteStatementStream* stream);
    void finishAll();

private:
    std::vector<SqliteStatementStream*> streams_;
};

// Reads the rows of one running statement on the engine's own connection,
// a step at a time; the statement is finalized when its last row is read or
// the stream is dropped.
//
// While the statement runs, the connection holds the file's shared lock:
// steps never wait for the busy timeout (only the first row, read when the
// statement starts, may), but other connections' writes wait for the read
// to end and fail once their own busy timeout passes (in WAL mode they go
// on). Writes on this connection are not held back: an implicit transaction
// commits while other statements only read. The running statement could see
// such a write, though, and read a row again (a row inserted, or one moved
// ahead in the index it walks), and SQLite refuses to drop a table while a
// statement runs. So the connection calls finishNow before it writes.
class SqliteStatementStream : public RowStream {
public:
    // `stmt` has stepped onto a row that is not read yet.
    SqliteStatementStream(const SqliteApi& api, std::unique_ptr<SqliteStatement> stmt,
                          std::shared_ptr<SqliteOpenReads> reads);
    ~SqliteStatementStream() override;
    SqliteStatementStream(const SqliteStatementStream&) = delete;
    SqliteStatementStream& operator=(const SqliteStatementStream&) = delete;

    bool readMore(Snapshot& rows, std::size_t maxRows) override;
    // Reads the rest into a buffer that later steps hand out, and ends the
    // statement, so that the result is the one from before a write. A
    // failure is kept for the step that reaches it.
    void finishNow() noexcept;

private:
    template <class Rows> bool read(Rows& rows, std::size_t maxRows);
    bool handOut(Snapshot& rows, std::size_t maxRows);
    void end();

    const SqliteApi& api_;
    std::unique_ptr<SqliteStatement> stmt_; // null once every row is read
    std::shared_ptr<SqliteOpenReads> reads_;
    std::optional<RowBatch> buffered_; // the rows finishNow read
    std::size_t handedOut_ = 0;
    std::optional<DataError> failed_; // how finishNow's read ended
};

} // namespace vdata
