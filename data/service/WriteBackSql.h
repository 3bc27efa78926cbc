#pragma once

#include "data/service/Engine.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vdata {

// "name" with any '"' doubled: an identifier quoted the standard way.
std::string quoteIdentifier(const std::string& name);

// What a write reports when a column of the result is no longer in its table.
std::string columnGoneText(const std::string& column, const std::string& table);

// What a write reports when the row it should change is no longer as it was read.
std::string rowGoneText(const std::string& table);

// What differs between engines in the statements that write a row back.
struct WriteBackDialect {
    // The text of the n-th (1-based) placeholder.
    std::function<std::string(int)> placeholder;
    // The table's name as it stands in SQL.
    std::string table;
    // Whether column and table names compare without regard to case.
    bool namesFoldCase = false;
    // How an operand of the "still holds what was read" test is written for a
    // column of `type`, e.g. cast to a type that has an equality. Key columns
    // compare by their own equality.
    std::function<std::string(const std::string& operand, FieldType type)> comparable;
    // Whether writes name the row's columns in a RETURNING clause to read it back.
    bool returning = false;
    // How a column name stands in SQL; quoteIdentifier when not set.
    std::function<std::string(const std::string&)> quote;
};

// Columns and the values that find one row: its key, a rowid, or all it holds.
struct RowKey {
    struct Part {
        std::string column;
        Value value;
        // Set for a value that must be as read, compared through the
        // dialect's `comparable`.
        std::optional<FieldType> asRead;
    };
    std::vector<Part> parts;
    bool empty() const { return parts.empty(); }
    void add(std::string column, Value value, std::optional<FieldType> asRead = {}) {
        parts.push_back({std::move(column), std::move(value), asRead});
    }
};

// One write-back statement, its parameters and, with RETURNING, the result
// column each returned column is read into.
struct WriteStatement {
    std::string sql;
    std::vector<Value> params;
    std::vector<std::size_t> returned;
};

// The statements that write one edited row to its base table: only changed
// columns are written, each base column once and never a generated one; an
// update also requires the changed columns to still hold what was read, so
// that a change someone else made meanwhile is noticed, not overwritten.
class WriteBackSql {
public:
    WriteBackSql(const RowEdit& edit, WriteBackDialect dialect);

    bool hasChanges() const { return !changed_.empty(); }

    // `key` plus the values the changed columns had when read.
    RowKey withUnchanged(RowKey key) const;

    WriteStatement update(const RowKey& key) const;
    // Writes the changed cells and those holding a value; the other columns
    // take their defaults.
    WriteStatement insert() const;
    WriteStatement remove(const RowKey& key) const;
    // Reads the row's columns back by `key`, or only `column` when given.
    WriteStatement select(const RowKey& key, const std::string& column = {}) const;

private:
    bool sameName(const std::string& a, const std::string& b) const;
    std::string quoted(const std::string& column) const;
    bool isTableColumn(std::size_t i) const;
    std::vector<std::size_t> distinctColumns(const std::vector<bool>& wanted) const;
    std::string where(const RowKey& key, std::vector<Value>& params) const;
    std::string mark(const std::vector<Value>& params) const;
    std::string tableColumns(std::vector<std::size_t>& read) const;
    void addReturning(WriteStatement& s) const;

    const RowEdit& edit_;
    WriteBackDialect dialect_;
    std::vector<std::size_t> changed_; // result columns to write, each base column once
};

} // namespace vdata
