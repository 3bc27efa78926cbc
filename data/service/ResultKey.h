#pragma once

#include "data/service/Engine.h"
#include "data/service/WriteBackSql.h"

#include <string>
#include <vector>

namespace vdata {

// A table's key found among the columns of a result read from it, for the
// writers of engines that name a table's key themselves. A table without a
// key, or a result that lacks one of its columns, is read-only: the
// constructor raises a read-only DataError that says why.
class ResultKey {
public:
    ResultKey(const std::string& tableName, std::vector<std::string> names, const RowEdit& edit,
              bool namesFoldCase);

    // The key by a row's values.
    RowKey of(const std::vector<Value>& values) const;
    // The result column of a one-column key, or -1 for a composite key.
    int singleColumn() const { return columns_.size() == 1 ? columns_.front() : -1; }

private:
    std::vector<std::string> names_;
    std::vector<int> columns_;
};

} // namespace vdata
