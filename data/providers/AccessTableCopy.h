#pragma once

#include "data/providers/AccessReaderProcess.h"
#include "data/providers/SqliteApi.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace vdata {

class SqliteStatement;

// The copy of one Access table into an SQLite database, made in steps as
// the rows arrive from an Access reader. The table gets the same name and
// column names, and declared types that give the Access columns' field
// types; its rows keep the reader's order as their rowids (1, 2, ...). Each
// step copies in a savepoint of its own, so no transaction is open between
// steps. A copy destroyed before its end drops the table.
class AccessTableCopy {
public:
    // Creates `table` and asks `reader` for its rows; until the copy's end
    // the reader is asked nothing else.
    AccessTableCopy(AccessReaderProcess& reader, sqlite3* db, const std::string& table);
    // The same through a reader of its own, ended with the copy.
    AccessTableCopy(std::unique_ptr<AccessReaderProcess> reader, sqlite3* db,
                    const std::string& table);
    ~AccessTableCopy();
    AccessTableCopy(const AccessTableCopy&) = delete;
    AccessTableCopy& operator=(const AccessTableCopy&) = delete;

    // Copies the rows that arrive within `wait`, at most `maxRows`, and
    // returns whether rows remain. A failure keeps the rows copied before
    // it, and is raised again by every later step.
    bool copySome(std::size_t maxRows, std::chrono::milliseconds wait);
    // Copies the remaining rows, asking the progress callback between steps.
    void finish();

    std::int64_t rows() const { return rows_; }
    bool whole() const { return reader_ == nullptr; }
    std::exception_ptr failure() const { return failure_; }

private:
    void run(const std::string& sql);
    void copy(const std::vector<Value>& row, SqliteStatement& insert);

    std::unique_ptr<AccessReaderProcess> own_;
    AccessReaderProcess* reader_; // null once every row is copied
    sqlite3* db_;
    std::string table_;
    std::string quoted_;
    std::string insert_;
    std::size_t width_ = 0;
    std::int64_t rows_ = 0;
    std::exception_ptr failure_;
};

} // namespace vdata
