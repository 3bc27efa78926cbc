#include "data/service/RowOrder.h"

#include "data/service/DecimalText.h"
#include "data/service/Progress.h"
#include "data/service/TextFold.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace vdata {
namespace {

enum Rank : std::uint8_t { NullRank, NumberRank, TextRank, BlobRank };
// How a number is held, for the exact comparison of near values.
enum Number : std::uint8_t { IntNumber, RealNumber, DecimalNumber, NotANumber };

// One sort entry per row, 24 bytes. `key` settles most comparisons on its
// own: for text the first sixteen folded bytes, for a blob its first eight
// bytes, for a number the nearest double (NaN as +infinity) in key[1] and an
// integer's exact value in key[0].
struct Entry {
    std::uint64_t key[2];
    std::uint32_t row;
    Rank rank;
    Number number;
    bool complete; // the key holds the whole folded text
    double approx() const { return std::bit_cast<double>(key[1]); }
};
static_assert(sizeof(Entry) == 24);

Entry numberEntry(std::uint32_t row, std::uint64_t exact, double approx, Number number) {
    return {{exact, std::bit_cast<std::uint64_t>(approx)}, row, NumberRank, number, false};
}

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
    return std::isnan(d) ? numberEntry(row, 0, inf, NotANumber)
                         : numberEntry(row, 0, d, RealNumber);
}

// Decimal text of a numeric column: a number when it reads as one.
Entry textEntry(std::uint32_t row, std::string_view text, bool numeric) {
    if (numeric) {
        if (isDecimalText(text)) {
            double d = 0;
            std::from_chars(text.data() + (text[0] == '+'), text.data() + text.size(), d);
            return numberEntry(row, 0, d, DecimalNumber);
        }
        constexpr double inf = std::numeric_limits<double>::infinity();
        if (text == "NaN" || text == "Infinity" || text == "-Infinity") {
            return realEntry(row, text == "NaN" ? std::nan("") : text[0] == '-' ? -inf : inf);
        }
    }
    const CollationKey key = collationKey(text);
    return {{key.high, key.low}, row, TextRank, IntNumber, key.complete};
}

Entry entryOf(const Snapshot& rows, std::uint32_t row, std::size_t col, bool numeric) {
    switch (rows.kind(row, col)) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Int: {
        const std::int64_t i = rows.intAt(row, col);
        return numberEntry(row, static_cast<std::uint64_t>(i), static_cast<double>(i), IntNumber);
    }
    case Value::Kind::Real:
        return realEntry(row, rows.realAt(row, col));
    case Value::Kind::Text:
        return textEntry(row, rows.bytesAt(row, col), numeric);
    case Value::Kind::Blob:
        return {{prefixOf(rows.bytesAt(row, col)), 0}, row, BlobRank, IntNumber, false};
    }
    return {{0, 0}, row, NullRank, IntNumber, false};
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
            return sign(static_cast<std::int64_t>(a.key[0]), static_cast<std::int64_t>(b.key[0]));
        }
        if (a.number == IntNumber) {
            return compareIntReal(static_cast<std::int64_t>(a.key[0]), b.approx());
        }
        if (b.number == IntNumber) {
            return -compareIntReal(static_cast<std::int64_t>(b.key[0]), a.approx());
        }
        return 0;
    }

private:
    std::string exact(const Entry& e) const {
        if (e.number == DecimalNumber) {
            return std::string(rows_.bytesAt(e.row, column_));
        }
        return e.number == IntNumber ? std::to_string(static_cast<std::int64_t>(e.key[0]))
                                     : exactDecimalText(e.approx());
    }

    const Snapshot& rows_;
    std::size_t column_;
};

// The order of entries: rank, then numbers by value, text by collation,
// blobs by bytes. Texts that differ only in case or accents are equal here;
// orderTies settles them afterwards.
class EntryOrder {
public:
    EntryOrder(const Snapshot& rows, std::size_t column)
        : rows_(rows), column_(column), numberTie_(rows, column) {}

    int compare(const Entry& a, const Entry& b) const {
        if (a.rank != b.rank) {
            return a.rank < b.rank ? -1 : 1;
        }
        switch (a.rank) {
        case NullRank:
            return 0;
        case NumberRank:
            if (a.approx() != b.approx()) {
                return a.approx() < b.approx() ? -1 : 1;
            }
            return numberTie_.compare(a, b);
        case TextRank:
            if (a.key[0] != b.key[0] || a.key[1] != b.key[1]) {
                return keyOrder(a, b);
            }
            return a.complete && b.complete ? 0 : compareCollated(bytes(a), bytes(b));
        case BlobRank:
            return a.key[0] != b.key[0] ? keyOrder(a, b) : bytes(a).compare(bytes(b));
        }
        return 0;
    }

    std::string_view bytes(const Entry& e) const { return rows_.bytesAt(e.row, column_); }

private:
    static int keyOrder(const Entry& a, const Entry& b) {
        const bool less = a.key[0] != b.key[0] ? a.key[0] < b.key[0] : a.key[1] < b.key[1];
        return less ? -1 : 1;
    }

    const Snapshot& rows_;
    std::size_t column_;
    NumberTie numberTie_;
};

// Runs of texts that collate equal are put in the order of their exact
// bytes; a run of identical texts (the usual case) keeps its order.
void orderTies(std::vector<Entry>& entries, const EntryOrder& order, bool descending) {
    const auto byBytes = [&](const Entry& a, const Entry& b) {
        return descending ? order.bytes(b) < order.bytes(a) : order.bytes(a) < order.bytes(b);
    };
    for (std::size_t start = 0; start < entries.size();) {
        std::size_t end = start + 1;
        bool identical = true;
        while (end < entries.size() && entries[start].rank == TextRank &&
               order.compare(entries[start], entries[end]) == 0) {
            identical = identical && order.bytes(entries[start]) == order.bytes(entries[end]);
            ++end;
        }
        if (!identical) {
            std::stable_sort(entries.begin() + static_cast<std::ptrdiff_t>(start),
                             entries.begin() + static_cast<std::ptrdiff_t>(end), byBytes);
        }
        start = end;
    }
}

// A stable sort that tells the progress callback how far it got between
// steps, so that nothing is added to the comparisons themselves: blocks are
// sorted one by one, then merged pairwise in passes. The rows done are the
// work done so far in rows, each pass counting once for all rows.
template <class Less> void sortWithProgress(std::vector<Entry>& entries, Less less) {
    constexpr std::size_t block = std::size_t{1} << 16;
    const std::size_t n = entries.size();
    std::size_t passes = 1;
    for (std::size_t width = block; width < n; width *= 2) {
        ++passes;
    }
    std::size_t work = 0;
    const auto report = [&](std::size_t rows) {
        work += rows;
        checkProgress(work / passes);
    };
    for (std::size_t lo = 0; lo < n; lo += block) {
        const std::size_t hi = std::min(n, lo + block);
        std::stable_sort(entries.begin() + static_cast<std::ptrdiff_t>(lo),
                         entries.begin() + static_cast<std::ptrdiff_t>(hi), less);
        report(hi - lo);
    }
    std::vector<Entry> merged(n > block ? n : 0);
    for (std::size_t width = block; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const auto at = [&](std::size_t i) {
                return entries.begin() + static_cast<std::ptrdiff_t>(std::min(n, i));
            };
            std::merge(at(lo), at(lo + width), at(lo + width), at(lo + 2 * width),
                       merged.begin() + static_cast<std::ptrdiff_t>(lo), less);
            report(std::min(n, lo + 2 * width) - lo);
        }
        entries.swap(merged);
    }
}

} // namespace

// The sort works on entries of its own and writes `order` only once it is
// done, so a sort that the progress callback cancels changes nothing.
void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              FieldType type, bool descending) {
    const bool numeric = isNumericType(type);
    std::vector<Entry> entries;
    entries.reserve(order.size());
    for (std::uint32_t r : order) {
        entries.push_back(entryOf(rows, r, column, numeric));
        if (entries.size() % progressStep == 0) {
            checkProgress(entries.size());
        }
    }
    const EntryOrder entryOrder(rows, column);
    if (descending) {
        sortWithProgress(
            entries, [&](const Entry& a, const Entry& b) { return entryOrder.compare(b, a) < 0; });
    } else {
        sortWithProgress(
            entries, [&](const Entry& a, const Entry& b) { return entryOrder.compare(a, b) < 0; });
    }
    orderTies(entries, entryOrder, descending);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        order[i] = entries[i].row;
    }
}

} // namespace vdata
