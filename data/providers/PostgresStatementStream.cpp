#include "data/providers/PostgresStatementStream.h"

#include "data/providers/PostgresResult.h"
#include "data/service/Progress.h"
#include "data/service/RowReader.h"

#include <poll.h>

namespace vdata {

namespace {

using std::chrono::milliseconds;

// How long a step waits for rows when none have arrived, and how long the
// wait for the first rows goes between two questions to the progress
// callback.
constexpr milliseconds stepWait{5};
constexpr milliseconds firstWait{100};

constexpr const char* cutOff = "The server stopped sending the result's rows; the rows read "
                               "before are kept.\n";

} // namespace

void appendPgRow(const PGresult* row, const std::vector<PgStorage>& storage, Snapshot& rows) {
    if (static_cast<std::size_t>(PQnfields(row)) != storage.size()) {
        throw DataError(tableChangedWhileRead);
    }
    for (int col = 0; col < PQnfields(row); ++col) {
        appendPgCell(rows, storage[static_cast<std::size_t>(col)],
                     PQgetisnull(row, 0, col) ? nullptr : PQgetvalue(row, 0, col),
                     PQgetlength(row, 0, col));
    }
}

std::unique_ptr<PostgresStatementStream>
PostgresStatementStream::open(const ConnectionString& cs, const std::string& sql,
                              const std::vector<Value>& params, std::vector<PgStorage> storage) {
    std::unique_ptr<PostgresStatementStream> stream;
    try {
        stream.reset(new PostgresStatementStream(cs, std::move(storage)));
        stream->conn_ = stream->session_.ready();
    } catch (const DataError&) {
        return nullptr; // no second session (too many connections, say)
    }
    const PgParams bound(params);
    if (PQsendQueryParams(stream->conn_, sql.c_str(), bound.count(), nullptr, bound.values(),
                          bound.lengths(), bound.formats(), 0) == 0) {
        return nullptr;
    }
    stream->running_ = true;
    PQsetSingleRowMode(stream->conn_);
    return stream;
}

PostgresStatementStream::PostgresStatementStream(const ConnectionString& cs,
                                                 std::vector<PgStorage> storage)
    : session_(cs), storage_(std::move(storage)) {}

PostgresStatementStream::~PostgresStatementStream() {
    if (running_) {
        if (PGcancel* cancel = PQgetCancel(conn_)) {
            char message[256];
            PQcancel(cancel, message, sizeof message);
            PQfreeCancel(cancel);
        }
    }
}

bool PostgresStatementStream::readMore(Snapshot& rows, std::size_t maxRows) {
    return take(rows, maxRows, stepWait);
}

bool PostgresStatementStream::readFirst(Snapshot& rows, std::size_t count) {
    return readFirstRows(rows, count, [&](std::size_t n) { return take(rows, n, firstWait); });
}

// Turns up to `maxRows` of the rows that have arrived into rows of the
// result; when none has, waits up to `wait` for one.
bool PostgresStatementStream::take(Snapshot& rows, std::size_t maxRows, milliseconds wait) {
    for (std::size_t n = 0; n < maxRows; ++n) {
        if (!arrived(n == 0 ? wait : milliseconds(0))) {
            return true;
        }
        const PgResult result(PQgetResult(conn_));
        if (!result) {
            running_ = false;
            if (PQstatus(conn_) == CONNECTION_BAD) {
                throw connectionError(conn_);
            }
            return false;
        }
        if (PQresultStatus(result.get()) == PGRES_SINGLE_TUPLE) {
            append(result.get(), rows);
        } else if (!resultSucceeded(result.get())) {
            fail(result.get());
        }
    }
    return true;
}

// Whether PQgetResult has a result without waiting, after waiting up to
// `wait` for the server. A failed read is left to PQgetResult to report.
bool PostgresStatementStream::arrived(milliseconds wait) {
    if (PQisBusy(conn_) == 0 || PQconsumeInput(conn_) == 0 || PQisBusy(conn_) == 0) {
        return true;
    }
    if (wait.count() == 0) {
        return false;
    }
    pollfd fd{PQsocket(conn_), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(wait.count()));
    return PQconsumeInput(conn_) == 0 || PQisBusy(conn_) == 0;
}

// Within one statement every row has the columns of the first one.
void PostgresStatementStream::append(const PGresult* row, Snapshot& rows) {
    if (read_ == 0) {
        for (int col = 0; col < PQnfields(row) && col < static_cast<int>(storage_.size()); ++col) {
            if (storageForType(PQftype(row, col)) != storage_[static_cast<std::size_t>(col)]) {
                throw DataError(tableChangedWhileRead);
            }
        }
    }
    appendPgRow(row, storage_, rows);
    ++read_;
}

// The statement failed: what the server still sends is read, and its
// message raised; after rows were read, it says that they stay.
void PostgresStatementStream::fail(const PGresult* result) {
    const DataError error = resultError(result, conn_);
    while (PgResult(PQgetResult(conn_))) {
    }
    running_ = false;
    if (read_ == 0) {
        throw error;
    }
    throw DataError(cutOff + std::string(error.what()), error.kind(), error.nativeCode());
}

} // namespace vdata
