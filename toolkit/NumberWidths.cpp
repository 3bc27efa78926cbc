#include "toolkit/NumberWidths.h"

#include "data/service/FieldType.h"
#include "data/service/Query.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tk {

namespace {

bool holdsNumbersOrDates(vdata::FieldType type) {
    switch (type) {
    case vdata::FieldType::Integer:
    case vdata::FieldType::SmallInt:
    case vdata::FieldType::AutoInc:
    case vdata::FieldType::LargeInt:
    case vdata::FieldType::Date:
    case vdata::FieldType::DateTime:
    case vdata::FieldType::Time:
    case vdata::FieldType::Float:
    case vdata::FieldType::Decimal:
        return true;
    default:
        return false;
    }
}

int digits(std::int64_t v) {
    int count = v < 0 ? 2 : 1;
    for (std::uint64_t rest = v < 0 ? 0 - std::uint64_t(v) : std::uint64_t(v); rest >= 10;
         rest /= 10) {
        ++count;
    }
    return count;
}

} // namespace

int widestNumberText(const vdata::Query& query, int column, int first, int last) {
    if (column >= query.fieldCount() || !holdsNumbersOrDates(query.field(column).dataType())) {
        return 0;
    }
    int widest = 0;
    for (int row = first; row <= last; ++row) {
        switch (query.cellKind(row, column)) {
        case vdata::Value::Kind::Int:
            widest = std::max(widest, digits(query.cell(row, column).i));
            break;
        case vdata::Value::Kind::Text:
            widest = std::max(widest, int(query.cellBytes(row, column).size()));
            break;
        case vdata::Value::Kind::Real:
            widest = std::max(widest, int(query.shownText(row, column).size()));
            break;
        default:
            break;
        }
    }
    return widest;
}

} // namespace tk
