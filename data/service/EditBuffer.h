#pragma once

#include "data/service/Engine.h"

#include <cstddef>
#include <exception>
#include <string>
#include <vector>

namespace vdata {

// The record being edited or inserted and its writes to the table: the
// values typed, which of them changed, and whether the last write met a row
// that someone else had changed.
class EditBuffer {
public:
    // Starts an edit of a row with these values, or an insert (all null).
    void start(std::vector<Value> values);
    void startInsert(std::size_t columns) { start(std::vector<Value>(columns, Value::null())); }
    void clear();

    const Value& value(std::size_t column) const { return values_.at(column); }
    // A value the user typed; `fill` one the record takes from elsewhere
    // (the master), written with it but no change of the user's.
    void set(std::size_t column, const Value& v);
    void fill(std::size_t column, const Value& v);
    bool modified() const { return modified_; }
    void setUnmodified() { modified_ = false; }
    bool conflicted() const { return conflicted_; }

    // Writes the record to `table` and returns the row as stored. A write
    // that was stored but could not be read back returns the row as written
    // and keeps its failure in `unread`, to be raised once the record is
    // saved: writing it again would store it twice. A refusal raises.
    struct Target {
        Engine& engine;
        const std::vector<ColumnInfo>& columns;
        std::string table;
    };
    std::vector<Value> update(const Target& target, std::vector<Value> original,
                              std::exception_ptr& unread);
    std::vector<Value> insert(const Target& target, std::exception_ptr& unread);
    // Deletes the row with these values.
    static void remove(const Target& target, std::vector<Value> row);

private:
    RowEdit edit(const Target& target, std::vector<Value> original) const;
    template <class Write> std::vector<Value> written(Write&& write, std::exception_ptr& unread);

    std::vector<Value> values_;
    std::vector<bool> changed_;
    bool modified_ = false;
    bool conflicted_ = false;
};

} // namespace vdata
