#pragma once

#include "data/service/Engine.h"

#include <string>
#include <vector>

namespace vdata {

// The table whose rows a result shows and writes back: the one every column
// comes from; empty when they do not all come from one table.
std::string editableTable(const std::vector<ColumnInfo>& columns);

// Why the rows of a result cannot be written back; empty when they can.
// `statement` is the text that read them, empty for a table view (which
// reads its table once by its name).
std::string resultReadOnlyReason(Engine& engine, const std::vector<ColumnInfo>& columns,
                                 const std::string& statement);

// Why the values of a column cannot be changed in any row; empty when they can.
std::string columnReadOnlyReason(const ColumnInfo& column);

} // namespace vdata
