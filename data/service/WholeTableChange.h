#pragma once

#include "data/service/SqlLexer.h"

#include <optional>
#include <string>
#include <string_view>

namespace vdata {

// The table an UPDATE or DELETE changes in whole because it has no WHERE of
// its own (one inside a subquery, a string or a comment does not count).
struct WholeTableChange {
    std::string name; // the name as the user reads it, without quotes
    std::string sql;  // the name as written in the statement
};

// The whole-table change `statement` makes; none for any other statement.
std::optional<WholeTableChange> wholeTableChange(std::string_view statement,
                                                 SqlFamily family = SqlFamily::Standard);

} // namespace vdata
