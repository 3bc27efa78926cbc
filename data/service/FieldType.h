#pragma once

#include <string_view>

namespace vdata {

// The data types a field can report.
enum class FieldType {
    Unknown,
    Integer,    // 32-bit integer
    SmallInt,   // small integer
    AutoInc,    // auto-increment
    LargeInt,   // 64-bit integer
    WideString, // text
    Memo,       // long text
    Date,
    DateTime,
    Time,
    Float,
    Decimal, // currency / fixed point
    Boolean,
    Bytes,
};

std::string_view fieldTypeName(FieldType type);

// True for the types whose values are stored as whole numbers.
bool isIntegerType(FieldType type);

} // namespace vdata
