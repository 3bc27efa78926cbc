#pragma once

#include "Engine.h"

#include <functional>
#include <string>
#include <vector>

namespace vdata {

// "name" with any '"' doubled: an identifier quoted the standard way.
std::string quoteIdentifier(const std::string& name);

// What a write reports when a column of the result is no longer in its table.
std::string columnGoneText(const std::string& column, const std::string& table);

// The UPDATE and INSERT texts for one edited row: only the changed columns
// are written, with the engine's placeholders numbered from 1.
class WriteBackSql {
public:
    WriteBackSql(const RowEdit& edit, std::function<std::string(int)> placeholder);

    bool hasChanges() const { return !changed_.empty(); }
    std::size_t changedCount() const { return changed_.size(); }
    std::vector<Value> changedValues() const;

    std::string update(const std::string& where) const;
    std::string insert() const;

private:
    const RowEdit& edit_;
    std::function<std::string(int)> placeholder_;
    std::vector<std::size_t> changed_; // result columns to write, each origin column once
};

} // namespace vdata
