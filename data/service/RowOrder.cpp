#include "RowOrder.h"

#include "DecimalText.h"
#include "TextFold.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace vdata {
namespace {

enum Rank : std::uint8_t { NullRank, NumberRank, TextRank, BlobRank };
// How a number is held, for the exact comparison of near values.
enum Number : std::uint8_t { IntNumber, RealNumber, DecimalNumber, NotANumber };

// One sort entry per row. `approx` (the number as the nearest double, NaN as
// +infinity) or `prefix` (the first eight folded bytes of text, or of blob
// bytes) settles most comparisons on its own; `prefix` also holds an
// integer's exact value.
struct Entry {
    std::uint64_t prefix;
    double approx;
    std::uint32_t row;
    Rank rank;
    Number number;
};

std::uint64_t prefixOf(std::string_view bytes) {
    std::uint64_t p = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        p = (p << 8) | (i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u);
    }
    return p;
}

bool isNumericType(FieldType type) {
    return isIntegerType(type) || type == FieldType::Float || type == FieldType::Decimal;
}

Entry realEntry(std::uint32_t row, double d) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return std::isnan(d) ? Entry{0, inf, row, NumberRank, NotANumber}
                         : Entry{0, d, row, NumberRank, RealNumber};
}

// Decimal text of a numeric column: a number when it reads as one.
Entry textEntry(std::uint32_t row, std::string_view text, bool numeric) {
    if (numeric) {
        if (isDecimalText(text)) {
            double d = 0;
            std::from_chars(text.data() + (text[0] == '+'), text.data() + text.size(), d);
            return {0, d, row, NumberRank, DecimalNumber};
        }
        constexpr double inf = std::numeric_limits<double>::infinity();
        if (text == "NaN" || text == "Infinity" || text == "-Infinity") {
            return realEntry(row, text == "NaN" ? std::nan("") : text[0] == '-' ? -inf : inf);
        }
    }
    return {collatedPrefix(text), 0, row, TextRank, IntNumber};
}

Entry entryOf(const Snapshot& rows, std::uint32_t row, std::size_t col, bool numeric) {
    switch (rows.kind(row, col)) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Int: {
        const std::int64_t i = rows.intAt(row, col);
        return {static_cast<std::uint64_t>(i), static_cast<double>(i), row, NumberRank, IntNumber};
    }
    case Value::Kind::Real:
        return realEntry(row, rows.realAt(row, col));
    case Value::Kind::Text:
        return textEntry(row, rows.bytesAt(row, col), numeric);
    case Value::Kind::Blob:
        return {prefixOf(rows.bytesAt(row, col)), 0, row, BlobRank, IntNumber};
    }
    return {0, 0, row, NullRank, IntNumber};
}

int sign(std::int64_t a, std::int64_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// An integer against the double nearest to it.
int compareIntReal(std::int64_t i, double d) {
    if (d >= 0x1p63) {
        return -1;
    }
    return sign(i, static_cast<std::int64_t>(d));
}

// Two numbers whose nearest doubles are equal, by exact value.
class NumberTie {
public:
    NumberTie(const Snapshot& rows, std::size_t column) : rows_(rows), column_(column) {}

    int compare(const Entry& a, const Entry& b) const {
        if (a.number == NotANumber || b.number == NotANumber) {
            return (a.number == NotANumber) - (b.number == NotANumber);
        }
        if (a.number == DecimalNumber || b.number == DecimalNumber) {
            return compareDecimalText(exact(a), exact(b));
        }
        if (a.number == IntNumber && b.number == IntNumber) {
            return sign(static_cast<std::int64_t>(a.prefix), static_cast<std::int64_t>(b.prefix));
        }
        if (a.number == IntNumber) {
            return compareIntReal(static_cast<std::int64_t>(a.prefix), b.approx);
        }
        if (b.number == IntNumber) {
            return -compareIntReal(static_cast<std::int64_t>(b.prefix), a.approx);
        }
        return 0;
    }

private:
    std::string exact(const Entry& e) const {
        if (e.number == DecimalNumber) {
            return std::string(rows_.bytesAt(e.row, column_));
        }
        return e.number == IntNumber ? std::to_string(static_cast<std::int64_t>(e.prefix))
                                     : exactDecimalText(e.approx);
    }

    const Snapshot& rows_;
    std::size_t column_;
};

} // namespace

void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              FieldType type, bool descending) {
    const bool numeric = isNumericType(type);
    std::vector<Entry> entries;
    entries.reserve(order.size());
    for (std::uint32_t r : order) {
        entries.push_back(entryOf(rows, r, column, numeric));
    }
    const NumberTie numberTie(rows, column);
    const auto less = [&](const Entry& a, const Entry& b) {
        if (a.rank != b.rank) {
            return a.rank < b.rank;
        }
        if (a.rank == NumberRank) {
            return a.approx != b.approx ? a.approx < b.approx : numberTie.compare(a, b) < 0;
        }
        if (a.prefix != b.prefix || a.rank == NullRank) {
            return a.prefix < b.prefix;
        }
        const std::string_view x = rows.bytesAt(a.row, column);
        const std::string_view y = rows.bytesAt(b.row, column);
        const int collated = a.rank == TextRank ? compareCollated(x, y) : 0;
        return collated != 0 ? collated < 0 : x < y;
    };
    if (descending) {
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const Entry& a, const Entry& b) { return less(b, a); });
    } else {
        std::stable_sort(entries.begin(), entries.end(), less);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        order[i] = entries[i].row;
    }
}

} // namespace vdata
