#include "data/service/NumberCell.h"

#include "data/service/DecimalText.h"

#include <cmath>

namespace vdata {

std::optional<int> compareNumberCell(const Snapshot& rows, std::size_t row, std::size_t column,
                                     std::string_view term) {
    switch (rows.kind(row, column)) {
    case Value::Kind::Int:
        return compareDecimalText(std::to_string(rows.intAt(row, column)), term);
    case Value::Kind::Real: {
        const double d = rows.realAt(row, column);
        if (!std::isfinite(d)) {
            return d < 0 ? -1 : 1;
        }
        return compareDecimalText(shortestDecimalText(d), term);
    }
    case Value::Kind::Text: {
        const std::string_view text = rows.bytesAt(row, column);
        if (!isDecimalText(text)) {
            return std::nullopt;
        }
        return compareDecimalText(text, term);
    }
    default:
        return std::nullopt;
    }
}

} // namespace vdata
