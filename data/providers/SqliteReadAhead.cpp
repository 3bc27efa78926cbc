#include "data/providers/SqliteReadAhead.h"

#include "data/providers/SqliteRows.h"
#include "data/providers/SqliteStatement.h"
#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace vdata {
namespace {

// How long a step waits for rows the threads have not handed over yet.
constexpr auto stepWait = std::chrono::milliseconds(5);

} // namespace

SqliteReadAhead::SqliteReadAhead(Source source, std::int64_t last, std::int64_t largest,
                                 std::size_t columns, std::size_t mostRows)
    : source_(std::move(source)), columns_(columns), largest_(largest),
      expected_(std::min<std::uint64_t>(mostRows, static_cast<std::uint64_t>(largest) -
                                                      static_cast<std::uint64_t>(last))),
      nextAfter_(last) {}

SqliteReadAhead::~SqliteReadAhead() {
    stop_ = true;
    {
        const std::lock_guard lock(mutex_);
        for (sqlite3* db : connections_) {
            source_.api->interrupt(db);
        }
    }
    changed_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void SqliteReadAhead::work() {
    sqlite3* db = nullptr;
    std::uint64_t reading = 0;
    try {
        {
            // Until it has a range, a thread that fails loses none: those
            // handed out are the other thread's.
            const std::lock_guard lock(mutex_);
            reading = nextSequence_;
        }
        db = openConnection();
        readRanges(db, reading);
    } catch (const std::exception& e) {
        fail(reading, e);
    }
    {
        const std::lock_guard lock(mutex_);
        std::erase(connections_, db);
        --running_;
    }
    changed_.notify_all();
    if (db != nullptr) {
        source_.api->close_v2(db);
    }
}

// Keeps the failure of the range first in order; from now on no range is
// handed out.
void SqliteReadAhead::fail(std::uint64_t sequence, const std::exception& e) {
    const std::lock_guard lock(mutex_);
    if (failedAt_ && *failedAt_ <= sequence) {
        return;
    }
    failedAt_ = sequence;
    const auto* data = dynamic_cast<const DataError*>(&e);
    error_ = data ? *data : DataError(e.what());
}

sqlite3* SqliteReadAhead::openConnection() {
    const SqliteApi& api = *source_.api;
    sqlite3* db = nullptr;
    const int rc =
        api.open_v2(source_.path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    {
        const std::lock_guard lock(mutex_);
        connections_.push_back(db);
    }
    if (rc != SQLITE_OK) {
        raiseSqlite(api, db);
    }
    if (!source_.password.empty()) {
        api.key(db, source_.password.data(), static_cast<int>(source_.password.size()));
    }
    api.busy_timeout(db, 3000);
    return db;
}

void SqliteReadAhead::readRanges(sqlite3* db, std::uint64_t& reading) {
    const SqliteApi& api = *source_.api;
    const std::string& id = source_.rowid;
    SqliteStatement chunk(api, db,
                          "SELECT " + id + ", * FROM " + source_.table + " WHERE " + id +
                              " > ?1 AND " + id + " <= ?2 ORDER BY " + id);
    while (const std::optional<Range> range = nextRange()) {
        reading = range->sequence;
        RowBatch batch = spareBatch();
        chunk.bindAll({Value::integer(range->after), Value::integer(range->upTo)});
        try {
            while (chunk.step()) {
                appendSqliteRow(api, chunk.handle(), batch, 1);
            }
        } catch (...) {
            chunk.reset();
            throw;
        }
        chunk.reset(); // ends the read transaction until the next chunk
        handOver(*range, std::move(batch));
    }
}

// The next range of rowids, once the program has taken enough of the chunks
// before it; none when every range is handed out, a thread failed or the
// read stops.
std::optional<SqliteReadAhead::Range> SqliteReadAhead::nextRange() {
    std::unique_lock lock(mutex_);
    changed_.wait(
        lock, [this] { return stop_ || failedAt_ || nextSequence_ < nextToTake_ + chunksAhead; });
    if (stop_ || failedAt_ || nextAfter_ >= largest_) {
        return std::nullopt;
    }
    // The distance may exceed the largest signed number; unsigned it fits.
    const std::uint64_t left =
        static_cast<std::uint64_t>(largest_) - static_cast<std::uint64_t>(nextAfter_);
    const std::int64_t upTo =
        static_cast<std::uint64_t>(span_) >= left ? largest_ : nextAfter_ + span_;
    const Range range{nextSequence_++, nextAfter_, upTo};
    nextAfter_ = upTo;
    return range;
}

// Sparse rowids make thin chunks: the ranges after a thin one are wider.
void SqliteReadAhead::handOver(const Range& range, RowBatch batch) {
    {
        const std::lock_guard lock(mutex_);
        const bool thin = static_cast<std::int64_t>(batch.rowCount()) < chunkRows / 2;
        if (thin && span_ < std::numeric_limits<std::int64_t>::max() / 2) {
            span_ *= 2;
        }
        ready_.emplace(range.sequence, std::move(batch));
    }
    changed_.notify_all();
}

// A chunk emptied after use, whose memory is already the program's, or a new one.
RowBatch SqliteReadAhead::spareBatch() {
    const std::lock_guard lock(mutex_);
    if (spare_.empty()) {
        return RowBatch(columns_);
    }
    RowBatch batch = std::move(spare_.back());
    spare_.pop_back();
    return batch;
}

// Makes the next chunk in order the one being taken, waiting for it until
// `until`; false when it is not there yet (or there is none any more). A
// chunk whose thread failed is not waited for.
bool SqliteReadAhead::takeBatch(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(mutex_);
    const auto there = [this] { return ready_.contains(nextToTake_); };
    const auto lost = [this] { return failedAt_ && nextToTake_ >= *failedAt_; };
    changed_.wait_until(lock, until, [&] { return running_ == 0 || there() || lost(); });
    if (!there()) {
        return false;
    }
    if (current_) {
        current_->clear();
        spare_.push_back(std::move(*current_));
    }
    auto next = ready_.extract(nextToTake_++);
    current_ = std::move(next.mapped());
    taken_ = 0;
    lock.unlock();
    changed_.notify_all();
    return true;
}

// The threads start with the first step, so that the window shows its first
// rows with every core the machine has.
bool SqliteReadAhead::readMore(Snapshot& rows, std::size_t maxRows) {
    while (threads_.size() < threadCount) {
        threads_.emplace_back([this] { work(); });
    }
    const auto until = std::chrono::steady_clock::now() + stepWait;
    std::size_t appended = 0;
    while (appended < maxRows) {
        if ((!current_ || taken_ == current_->rowCount()) && !takeBatch(until)) {
            break;
        }
        const std::size_t n = std::min(maxRows - appended, current_->rowCount() - taken_);
        current_->appendTo(rows, taken_, n);
        taken_ += n;
        appended += n;
    }
    return !exhausted(rows.rowCount());
}

// Every chunk taken and the threads done. Once the chunks before a failed
// range are taken, its failure is raised, naming the rows read.
bool SqliteReadAhead::exhausted(std::size_t rowsRead) const {
    if (current_ && taken_ < current_->rowCount()) {
        return false;
    }
    const std::lock_guard lock(mutex_);
    if (ready_.contains(nextToTake_)) {
        return false;
    }
    if (failedAt_ && (nextToTake_ >= *failedAt_ || running_ == 0)) {
        // A table whose shape changed says so alone: the row count is no
        // help there, Refresh is.
        const std::string reason = error_->what();
        throw DataError(reason == tableChangedWhileRead
                            ? reason
                            : "The table could not be read past row " + groupedDigits(rowsRead) +
                                  ": " + reason,
                        error_->kind(), error_->nativeCode());
    }
    return running_ == 0;
}

} // namespace vdata
