#include "data/providers/SqliteStatementStream.h"

#include "data/providers/SqliteRows.h"

#include <algorithm>

namespace vdata {

void SqliteOpenReads::remove(SqliteStatementStream* stream) {
    std::erase(streams_, stream);
}

void SqliteOpenReads::finishAll() {
    for (SqliteStatementStream* stream : std::exchange(streams_, {})) {
        stream->finishNow();
    }
}

SqliteStatementStream::SqliteStatementStream(const SqliteApi& api,
                                             std::unique_ptr<SqliteStatement> stmt,
                                             std::shared_ptr<SqliteOpenReads> reads)
    : api_(api), stmt_(std::move(stmt)), reads_(std::move(reads)) {
    reads_->add(this);
}

SqliteStatementStream::~SqliteStatementStream() {
    end();
}

bool SqliteStatementStream::readMore(Snapshot& rows, std::size_t maxRows) {
    return buffered_ ? handOut(rows, maxRows) : read(rows, maxRows);
}

void SqliteStatementStream::finishNow() noexcept {
    if (!stmt_) {
        return;
    }
    buffered_.emplace(static_cast<std::size_t>(api_.column_count(stmt_->handle())));
    try {
        while (read(*buffered_, 65536)) {
        }
    } catch (const DataError& e) {
        failed_ = e;
    } catch (const std::exception& e) {
        failed_ = DataError(e.what());
    }
}

// Appends the row the statement stands on and steps to the next one.
template <class Rows> bool SqliteStatementStream::read(Rows& rows, std::size_t maxRows) {
    try {
        for (std::size_t n = 0; n < maxRows; ++n) {
            appendSqliteRow(api_, stmt_->handle(), rows);
            if (!stmt_->step()) {
                end();
                return false;
            }
        }
    } catch (...) {
        end();
        throw;
    }
    return true;
}

bool SqliteStatementStream::handOut(Snapshot& rows, std::size_t maxRows) {
    const std::size_t count = std::min(maxRows, buffered_->rowCount() - handedOut_);
    buffered_->appendTo(rows, handedOut_, count);
    handedOut_ += count;
    if (handedOut_ < buffered_->rowCount()) {
        return true;
    }
    buffered_.reset();
    if (failed_) {
        throw *std::exchange(failed_, std::nullopt);
    }
    return false;
}

void SqliteStatementStream::end() {
    if (stmt_) {
        reads_->remove(this);
        stmt_.reset();
    }
}

} // namespace vdata
