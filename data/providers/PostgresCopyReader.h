#pragma once

#include "data/service/Errors.h"

#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vdata {

// Drains the lines of a COPY ... TO STDOUT that a connection runs, on a
// thread of its own, into a buffer the caller takes them from. The server
// so goes on sending while the caller is busy with other work, up to a
// bound on the lines waiting, which keeps the memory small when the caller
// takes them slowly.
class PostgresCopyReader {
public:
    // Starts reading; the connection, whose COPY has started, is the
    // reader's until it is destroyed.
    explicit PostgresCopyReader(PGconn* conn);
    // Cancels the statement on the server when it still runs, and stops.
    ~PostgresCopyReader();
    PostgresCopyReader(const PostgresCopyReader&) = delete;
    PostgresCopyReader& operator=(const PostgresCopyReader&) = delete;

    // Appends the lines that have arrived, each ending in a line break, to
    // `lines`; waits up to `wait` while none has. False once the statement
    // ended and every line was taken; then raises DataError when it failed.
    bool take(std::string& lines, std::chrono::milliseconds wait);

private:
    void run();
    bool hand(std::string& batch);
    bool awaitInput();
    void end(std::optional<DataError> error);
    std::optional<DataError> outcome();

    PGconn* conn_;
    PGcancel* cancel_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable taken_;
    std::string lines_;
    bool ended_ = false;
    std::optional<DataError> error_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

} // namespace vdata
