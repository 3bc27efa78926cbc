#include "data/providers/PostgresTableStream.h"

#include "data/providers/PostgresCopyText.h"
#include "data/providers/PostgresResult.h"
#include "data/service/Progress.h"
#include "data/service/RowReader.h"

namespace vdata {

namespace {

using std::chrono::milliseconds;

// How long a step waits for rows when none have arrived: short enough not
// to be felt between two input events.
constexpr milliseconds stepWait{5};
// How long the wait for the first rows goes between two questions to the
// progress callback.
constexpr milliseconds firstWait{100};

} // namespace

std::unique_ptr<PostgresTableStream> PostgresTableStream::open(const ConnectionString& cs,
                                                               const std::string& copy,
                                                               std::vector<PgStorage> storage) {
    std::unique_ptr<PostgresTableStream> stream;
    try {
        stream.reset(new PostgresTableStream(cs, std::move(storage)));
    } catch (const DataError&) {
        return nullptr; // no second session (too many connections, say)
    }
    return stream->start(copy) ? std::move(stream) : nullptr;
}

PostgresTableStream::PostgresTableStream(const ConnectionString& cs, std::vector<PgStorage> storage)
    : session_(cs), storage_(std::move(storage)) {}

bool PostgresTableStream::start(const std::string& copy) {
    PGconn* conn = session_.ready();
    const PgResult noSorts(PQexec(conn, "SET enable_sort = off"));
    if (!resultSucceeded(noSorts.get()) ||
        PQsendQueryParams(conn, copy.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 0) {
        return false;
    }
    const PgResult first(PQgetResult(conn));
    if (PQresultStatus(first.get()) != PGRES_COPY_OUT) {
        return false;
    }
    reader_ = std::make_unique<PostgresCopyReader>(conn);
    return true;
}

bool PostgresTableStream::readMore(Snapshot& rows, std::size_t maxRows) {
    return take(rows, maxRows, stepWait);
}

bool PostgresTableStream::readFirst(Snapshot& rows, std::size_t count) {
    return readFirstRows(rows, count, [&](std::size_t n) { return take(rows, n, firstWait); });
}

// Turns up to `maxRows` of the lines that have arrived into rows; when none
// has, waits up to `wait` for some.
bool PostgresTableStream::take(Snapshot& rows, std::size_t maxRows, milliseconds wait) {
    for (std::size_t read = 0; read < maxRows; ++read) {
        if (next_ == lines_.size()) {
            lines_.clear();
            next_ = 0;
            if (!reader_->take(lines_, read == 0 ? wait : milliseconds(0))) {
                return false;
            }
            if (lines_.empty()) {
                break;
            }
        }
        const std::size_t end = lines_.find('\n', next_);
        appendCopyRow(rows, storage_, std::string_view(lines_).substr(next_, end - next_),
                      scratch_);
        next_ = end + 1;
    }
    return true;
}

} // namespace vdata
