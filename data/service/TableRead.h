#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vdata {

// A table view asked of an engine: every row of `table`, in the order of
// `orderKey` (empty: in the order the engine keeps them).
struct TableRead {
    std::string table;
    std::vector<std::string> orderKey;
};

// The read as one SELECT, each name written by `quote`.
std::string tableReadSql(const TableRead& read,
                         const std::function<std::string(const std::string&)>& quote);
// The same in this system's SQL, with [bracketed] names.
std::string tableReadSql(const TableRead& read);

} // namespace vdata
