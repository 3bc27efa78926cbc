#pragma once

#include <QString>

#include <vector>

namespace vdata {
class Query;
} // namespace vdata

namespace tk {

// What the declared foreign keys say of one result column: whether it is
// part of a key that references another table, and a title tooltip naming
// the rows it references and the tables whose keys refer to it.
struct ColumnKeyNote {
    bool references = false;
    QString toolTip;
};

// A note per column of the open query, read from the keys its connection
// declares for each column's base table; none while the connection is
// closed.
std::vector<ColumnKeyNote> columnKeyNotes(const vdata::Query& query);

} // namespace tk
