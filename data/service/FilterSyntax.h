#pragma once

#include "data/service/Engine.h"
#include "data/service/Errors.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vdata {

enum class FilterOp {
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

// One `column op value` of a filter, its value made ready for comparing.
struct FilterCondition {
    std::size_t column = 0;
    FieldType type = FieldType::Unknown;
    FilterOp op = FilterOp::Equal;
    std::string term; // folded for text matching, normalised for numbers and dates
    bool integerTerm = false;
    std::int64_t integer = 0;
};

// A condition, or parts joined by "and" or by "or".
struct FilterNode {
    enum class Join { None, And, Or };
    Join join = Join::None;
    FilterCondition condition;
    std::vector<FilterNode> parts;
};

// A filter text that cannot be read: the message says where and why, and
// `position` and `length` mark the spot (in bytes of the text).
class FilterError : public DataError {
public:
    FilterError(const std::string& message, std::size_t position, std::size_t length)
        : DataError(message), position_(position), length_(length) {}
    std::size_t position() const { return position_; }
    std::size_t length() const { return length_; }

private:
    std::size_t position_;
    std::size_t length_;
};

// Whether a filter compares the values of a column of `type` as numbers,
// or as dates and times.
bool filtersAsNumber(FieldType type);
bool filtersAsTime(FieldType type);

// Reads a filter as a user types it (see RowFilter); raises FilterError.
FilterNode parseFilter(std::string_view text, const std::vector<ColumnInfo>& columns);

} // namespace vdata
