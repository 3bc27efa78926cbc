#pragma once

#include "data/service/Value.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vdata {

// A table view asked of an engine: every row of `table`, in the order of
// `orderKey` (empty: in the order the engine keeps them). With `from` (for
// an order key of one column) only the rows whose key is at least that
// value: a view that starts at a row without reading the ones before it.
struct TableRead {
    std::string table;
    std::vector<std::string> orderKey;
    std::optional<Value> from;
};

// The read as one SELECT, each name written by `quote`; `from` is the
// parameter :from.
std::string tableReadSql(const TableRead& read,
                         const std::function<std::string(const std::string&)>& quote);
// The same in this system's SQL, with [bracketed] names.
std::string tableReadSql(const TableRead& read);

} // namespace vdata
