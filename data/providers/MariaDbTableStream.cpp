#include "data/providers/MariaDbTableStream.h"

#include "data/service/Progress.h"

namespace vdata {

namespace {

// The server gives up on a client that takes no rows for this long; a view
// left open reads on only when the window asks.
constexpr const char* patientWrites = "SET SESSION net_write_timeout = 86400";

// How long a step waits for rows the server has not sent yet.
constexpr int stepWaitMs = 5;

} // namespace

std::unique_ptr<MariaDbTableStream> MariaDbTableStream::open(const ConnectionString& cs,
                                                             const std::string& sql,
                                                             const std::vector<Value>& params) {
    std::unique_ptr<MariaDbTableStream> stream;
    try {
        stream.reset(new MariaDbTableStream(cs));
    } catch (const DataError&) {
        return nullptr;
    }
    MYSQL* mysql = stream->session_.ready();
    runText(stream->session_, mysql, patientWrites);
    stream->stmt_.emplace(stream->session_, mysql, sql);
    stream->stmt_->execute(params);
    stream->row_.emplace(stream->stmt_->get());
    return stream;
}

bool MariaDbTableStream::readMore(Snapshot& rows, std::size_t maxRows) {
    for (std::size_t n = 0; n < maxRows && !done_; ++n) {
        // Only the step's first row is waited for.
        if (!stmt_->fetchSoon(*row_, n == 0 ? stepWaitMs : 0, pending_, done_)) {
            break;
        }
        row_->appendTo(rows);
    }
    return !done_;
}

bool MariaDbTableStream::readFirst(Snapshot& rows, std::size_t count) {
    for (std::size_t n = 0; n < count && !done_;) {
        if (stmt_->fetchSoon(*row_, 100, pending_, done_)) {
            row_->appendTo(rows);
            ++n;
        } else if (!done_) {
            checkProgress(n);
        }
    }
    return !done_;
}

} // namespace vdata
