#pragma once

#include "data/service/ForeignKey.h"

#include <string>
#include <vector>

namespace vdata {

// One column pair of a foreign key as catalogues list them: a row per
// column, the key's name and its place in the key on each.
struct ForeignKeyColumn {
    std::string keyName;
    std::string table;
    std::string column;
    std::string referencedTable;
    std::string referencedColumn;
    long long position = 0;
};

// The keys the rows describe, in the order each key's first row came, each
// key's columns in the order of their position.
std::vector<ForeignKey> groupForeignKeys(std::vector<ForeignKeyColumn> rows);

} // namespace vdata
