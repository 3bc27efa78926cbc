#pragma once

#include "data/providers/AccessReaderProcess.h"
#include "data/providers/AccessTableCopy.h"
#include "data/providers/SqliteApi.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace vdata {

// Copies Access tables into an SQLite database, each the first time a
// statement names it, with the same table and column names and declared
// types that give the Access column's field type. A table can instead be
// copied in steps, through a reader of its own, while its rows are shown; a
// statement that names it first finishes that copy, so none sees half a
// table.
class AccessTableCopier {
public:
    AccessTableCopier(AccessReaderProcess& reader, sqlite3* db);

    // Copies every table that `sql` names (as a word or a quoted name,
    // wherever it stands) and that is not copied yet.
    void copyTablesNamedIn(const std::string& sql);

    // The table's name as the file spells it; empty when there is none.
    std::string tableNamed(const std::string& name) const;
    bool copied(const std::string& table) const { return copied_.contains(table); }

    // How far a table's copy has come: whether it is whole, the rows copied
    // while it is not, and what ended it before its end, when it failed.
    struct State {
        std::int64_t rows = 0;
        bool whole = false;
        std::exception_ptr failure;
    };
    // Starts copying `table` in steps, unless it is copied or being copied.
    void startInSteps(const std::string& table);
    // Copies the rows of `table` that arrive within `wait`, at most
    // `maxRows`. A copy that failed keeps the rows it copied, readable until
    // another copy of the table starts.
    State copySome(const std::string& table, std::size_t maxRows, std::chrono::milliseconds wait);
    // Copies `table` in steps until it holds `rows` rows or all of them,
    // asking the progress callback between steps; raises what ended the
    // copy when it failed.
    void copyUntil(const std::string& table, std::int64_t rows);
    // Drops the copies in steps not finished, before the database closes.
    void stop() noexcept;

private:
    void copy(const std::string& table);
    State stateOf(const std::string& table) const;
    void dropFailedCopy(const std::string& table);

    AccessReaderProcess& reader_;
    sqlite3* db_;
    std::map<std::string, std::string> tables_; // by lower-case name
    std::set<std::string> copied_;
    std::map<std::string, std::unique_ptr<AccessTableCopy>> inSteps_;
    bool stopped_ = false;
};

} // namespace vdata
