#pragma once

#include "data/service/Engine.h"
#include "data/service/FilterSyntax.h"
#include "data/service/Snapshot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vdata {

// A condition on rows already read, as a user types it: `column op value`,
// joined by "and" and "or" ("and" binds first) and grouped with ( ). The
// operators are =, <>, <, >, <=, >=, contains, starts with, is null and is
// not null. A column name may be put in [ ] or " ", a value in ' ' or " "
// (to keep blanks, brackets or the words "and" and "or" in it). Text
// compares as the grid sorts it (letter case and accents aside), numbers by
// the value they show, dates and times in time order; NULL matches only
// "is null".
class RowFilter {
public:
    // Raises FilterError saying where and why `text` cannot be read.
    RowFilter(const std::string& text, const std::vector<ColumnInfo>& columns);

    bool matches(const Snapshot& rows, std::uint32_t row) const;

private:
    FilterNode root_;
};

} // namespace vdata
