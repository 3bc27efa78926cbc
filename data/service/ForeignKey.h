#pragma once

#include <string>
#include <vector>

namespace vdata {

// A foreign key a database declares: the `columns` of `table`, in order,
// reference the `referencedColumns` of `referencedTable`. Table names are as
// the table list shows them (schema-qualified where the engine lists them so).
struct ForeignKey {
    std::string name;
    std::string table;
    std::vector<std::string> columns;
    std::string referencedTable;
    std::vector<std::string> referencedColumns;

    bool operator==(const ForeignKey&) const = default;
};

} // namespace vdata
