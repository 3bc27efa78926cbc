#pragma once

#include "data/providers/SqliteApi.h"
#include "data/service/Engine.h"
#include "data/service/Errors.h"
#include "data/service/RowBatch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vdata {

// The rest of a rowid table, read by threads of their own, each on a
// read-only connection of its own, a few chunks ahead of what is taken. A
// chunk is the rows of a range of rowids; the threads take the ranges in
// turn and the chunks are handed over in rowid order. The program's thread
// only moves the rows into its snapshot, so reading goes on while it works.
// Between chunks a thread holds no lock on the file, so an edit saved on
// the program's connection waits at most for a chunk to end. Rows added
// after the start (rowid above the largest then) are left to the next read.
// A thread that fails ends the handing out of ranges: the chunks before its
// range are taken, then the read raises its failure. Destroying the stream
// interrupts the threads' statements and waits for them.
class SqliteReadAhead : public RowStream {
public:
    struct Source {
        const SqliteApi* api;
        std::string path;
        std::string password;
        std::string table; // quoted
        std::string rowid;
    };
    // The rows after rowid `last` up to rowid `largest`, of `columns` columns;
    // `mostRows` is as many as the file can hold.
    SqliteReadAhead(Source source, std::int64_t last, std::int64_t largest, std::size_t columns,
                    std::size_t mostRows);
    ~SqliteReadAhead() override;
    SqliteReadAhead(const SqliteReadAhead&) = delete;
    SqliteReadAhead& operator=(const SqliteReadAhead&) = delete;

    bool readMore(Snapshot& rows, std::size_t maxRows) override;
    // The rowids left, as long as the file can hold as many rows.
    std::size_t rowsExpected() const override { return expected_; }

private:
    static constexpr int threadCount = 2;
    static constexpr std::int64_t chunkRows = 8192;
    static constexpr std::size_t chunksAhead = 4;

    // A range of rowids to read, and its place in the order.
    struct Range {
        std::uint64_t sequence;
        std::int64_t after;
        std::int64_t upTo;
    };

    void work();
    void readRanges(sqlite3* db, std::uint64_t& reading);
    void fail(std::uint64_t sequence, const std::exception& e);
    std::optional<Range> nextRange();
    void handOver(const Range& range, RowBatch batch);
    sqlite3* openConnection();
    RowBatch spareBatch();
    bool takeBatch(std::chrono::steady_clock::time_point until);
    bool exhausted(std::size_t rowsRead) const;

    Source source_;
    std::size_t columns_;
    const std::int64_t largest_;
    std::size_t expected_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t nextAfter_;         // where the next range starts (exclusive)
    std::int64_t span_ = chunkRows;  // rowids per range, widened where they are sparse
    std::uint64_t nextSequence_ = 0; // of the next range handed out
    std::uint64_t nextToTake_ = 0;   // of the next chunk the program takes
    std::map<std::uint64_t, RowBatch> ready_;
    std::vector<RowBatch> spare_;       // taken chunks, emptied for reuse
    std::vector<sqlite3*> connections_; // the threads' open connections
    int running_ = threadCount;
    // The first range in order that a thread failed on, and why.
    std::optional<std::uint64_t> failedAt_;
    std::optional<DataError> error_;
    std::atomic<bool> stop_ = false;

    std::optional<RowBatch> current_; // the chunk being taken, and how far
    std::size_t taken_ = 0;
    std::vector<std::thread> threads_;
};

} // namespace vdata
