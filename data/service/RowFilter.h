#pragma once

#include "data/service/Engine.h"
#include "data/service/Snapshot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vdata {

// A condition on rows already read, as a user types it: `column op value`,
// several joined by "and". The operators are =, <>, <, >, <=, >=, contains,
// starts with, is null and is not null. A column name may be put in [ ] or
// " ", a value in ' ' or " " (to keep blanks or the word "and" in it).
// Text compares as the grid sorts it (letter case and accents aside),
// numbers by exact value, dates and times in time order; NULL matches only
// "is null".
class RowFilter {
public:
    // Raises DataError saying what in `text` cannot be read.
    RowFilter(const std::string& text, const std::vector<ColumnInfo>& columns);

    bool matches(const Snapshot& rows, std::uint32_t row) const;

    enum class Op {
        Equal,
        NotEqual,
        Less,
        Greater,
        LessEqual,
        GreaterEqual,
        Contains,
        StartsWith,
        IsNull,
        IsNotNull
    };
    struct Condition {
        std::size_t column = 0;
        FieldType type = FieldType::Unknown;
        Op op = Op::Equal;
        std::string term; // folded for text matching, normalised for numbers and dates
        bool integerTerm = false;
        std::int64_t integer = 0;
    };

private:
    std::vector<Condition> conditions_;
};

} // namespace vdata
