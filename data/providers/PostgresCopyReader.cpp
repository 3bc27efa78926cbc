#include "data/providers/PostgresCopyReader.h"

#include "data/providers/PostgresResult.h"

#include <poll.h>

namespace vdata {

namespace {

// Lines are handed over in batches of about this many bytes, and the
// reader waits while this many are waiting to be taken.
constexpr std::size_t batchBytes = 64 * 1024;
constexpr std::size_t waitingBytes = 8 * 1024 * 1024;
// How often the reader, while the server is silent, looks whether to stop.
constexpr int stopCheckMs = 10;

constexpr const char* readLost = "The connection to the server was lost while the table's rows "
                                 "were read; the rows read before are kept.\n";
constexpr const char* readFailed =
    "The server stopped sending the table's rows; the rows read before are kept.\n";

} // namespace

PostgresCopyReader::PostgresCopyReader(PGconn* conn)
    : conn_(conn), cancel_(PQgetCancel(conn)), thread_([this] { run(); }) {}

PostgresCopyReader::~PostgresCopyReader() {
    bool running = false;
    {
        const std::lock_guard lock(mutex_);
        running = !ended_;
        stop_ = true;
    }
    taken_.notify_all();
    if (running && cancel_ != nullptr) {
        char message[256];
        PQcancel(cancel_, message, sizeof message);
    }
    thread_.join();
    PQfreeCancel(cancel_);
}

bool PostgresCopyReader::take(std::string& lines, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return !lines_.empty() || ended_; });
    if (lines_.empty() && ended_) {
        if (error_) {
            throw *error_;
        }
        return false;
    }
    if (lines.empty()) {
        lines.swap(lines_);
    } else {
        lines.append(lines_);
    }
    lines_.clear();
    taken_.notify_all();
    return true;
}

void PostgresCopyReader::run() {
    std::string batch;
    while (true) {
        char* line = nullptr;
        const int length = PQgetCopyData(conn_, &line, 1);
        if (length > 0) {
            batch.append(line, static_cast<std::size_t>(length));
            PQfreemem(line);
            if (batch.back() != '\n') {
                batch += '\n';
            }
            if (batch.size() < batchBytes || hand(batch)) {
                continue;
            }
            return;
        }
        if (!hand(batch)) {
            return;
        }
        if (length < 0 || PQstatus(conn_) == CONNECTION_BAD) {
            break;
        }
        if (!awaitInput()) {
            return;
        }
    }
    end(outcome());
}

// The statement's results once its lines are read: the first failure,
// told as a lost connection when the connection is gone afterwards.
std::optional<DataError> PostgresCopyReader::outcome() {
    std::string failed;
    while (PGresult* raw = PQgetResult(conn_)) {
        const PgResult result(raw);
        if (failed.empty() && !resultSucceeded(raw)) {
            failed = resultErrorText(raw, conn_);
        }
    }
    const bool lost = PQstatus(conn_) == CONNECTION_BAD;
    if (!lost && failed.empty()) {
        return std::nullopt;
    }
    return DataError((lost ? readLost : readFailed) +
                         (failed.empty() ? connectionErrorText(conn_) : failed),
                     lost ? ErrorKind::Connection : ErrorKind::Statement);
}

// Adds the batch to the lines waiting, once there is room; false when the
// reader is to stop.
bool PostgresCopyReader::hand(std::string& batch) {
    if (batch.empty()) {
        return !stop_;
    }
    std::unique_lock lock(mutex_);
    taken_.wait(lock, [this] { return lines_.size() < waitingBytes || stop_; });
    if (stop_) {
        return false;
    }
    // The first batch waiting is handed over whole rather than copied.
    if (lines_.empty()) {
        lines_.swap(batch);
    } else {
        lines_.append(batch);
    }
    batch.clear();
    arrived_.notify_all();
    return true;
}

// Waits for the server to send more and reads it; false when the reader is
// to stop. A failed read leaves the connection marked bad.
bool PostgresCopyReader::awaitInput() {
    while (!stop_) {
        pollfd fd{PQsocket(conn_), POLLIN, 0};
        if (::poll(&fd, 1, stopCheckMs) != 0) {
            PQconsumeInput(conn_);
            return true;
        }
    }
    return false;
}

void PostgresCopyReader::end(std::optional<DataError> error) {
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
        error_ = std::move(error);
    }
    arrived_.notify_all();
}

} // namespace vdata
