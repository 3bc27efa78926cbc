#pragma once

#include <string>

namespace vdata {

// How often `table` is named as a table of a FROM clause (after FROM, JOIN
// or a comma of the FROM list, optionally schema-qualified), at any nesting
// depth. A row of a result can be written back only when its table is read
// exactly once: a self-join or a view would otherwise mix rows.
int countTableReferences(const std::string& sql, const std::string& table);

} // namespace vdata
