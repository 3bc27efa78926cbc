#pragma once

#include <string>
#include <vector>

namespace vdata {

// A table view asked of an engine: every row of `table`, in the order of
// `orderKey` (empty: in the order the engine keeps them).
struct TableRead {
    std::string table;
    std::vector<std::string> orderKey;
};

// The read in this system's SQL, with [bracketed] names.
std::string tableReadSql(const TableRead& read);

} // namespace vdata
