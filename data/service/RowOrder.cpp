#include "data/service/RowOrder.h"

#include "data/service/DecimalText.h"
#include "data/service/KeySort.h"
#include "data/service/Progress.h"
#include "data/service/TextFold.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <span>
#include <string_view>

namespace vdata {
namespace {

enum Rank : std::uint8_t { NullRank, NumberRank, TextRank, BlobRank };
// How a number is held, for the exact comparison of near values.
enum Number : std::uint8_t { IntNumber, RealNumber, DecimalNumber, NotANumber };

// One sort entry per row, 24 bytes. `key` settles most comparisons on its
// own, compared as unsigned words: for text the first sixteen folded bytes,
// for a blob its first eight bytes, for a number its nearest double (NaN as
// +infinity) in key[0], made to order as unsigned, and an integer's exact
// value in key[1].
struct Entry {
    std::uint64_t key[2];
    std::uint32_t row;
    Rank rank;
    Number number;
    bool complete; // the key holds the whole folded text
    double approx() const {
        const std::uint64_t k = key[0];
        return std::bit_cast<double>(k >> 63 ? k & ~signBit : ~k);
    }
    static constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
};
static_assert(sizeof(Entry) == 24);

// A double's bits, turned so that unsigned order is the numbers' order;
// -0 and +0 get one key.
std::uint64_t orderedBits(double d) {
    const auto bits = std::bit_cast<std::uint64_t>(d == 0 ? 0.0 : d);
    return bits >> 63 ? ~bits : bits | Entry::signBit;
}

Entry numberEntry(std::uint32_t row, std::uint64_t exact, double approx, Number number) {
    return {{orderedBits(approx), exact}, row, NumberRank, number, false};
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
            return sign(static_cast<std::int64_t>(a.key[1]), static_cast<std::int64_t>(b.key[1]));
        }
        if (a.number == IntNumber) {
            return compareIntReal(static_cast<std::int64_t>(a.key[1]), b.approx());
        }
        if (b.number == IntNumber) {
            return -compareIntReal(static_cast<std::int64_t>(b.key[1]), a.approx());
        }
        return 0;
    }

private:
    std::string exact(const Entry& e) const {
        if (e.number == DecimalNumber) {
            return std::string(rows_.bytesAt(e.row, column_));
        }
        return e.number == IntNumber ? std::to_string(static_cast<std::int64_t>(e.key[1]))
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
            return a.key[0] != b.key[0] ? keyOrder(a, b) : numberTie_.compare(a, b);
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
void orderTies(std::span<Entry> entries, const EntryOrder& order) {
    const auto byBytes = [&](const Entry& a, const Entry& b) {
        return order.bytes(a) < order.bytes(b);
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
template <class Less> void sortWithProgress(std::span<Entry> entries, Less less) {
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
    std::span<Entry> from = entries;
    std::span<Entry> to = merged;
    for (std::size_t width = block; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const auto at = [&](std::size_t i) {
                return from.begin() + static_cast<std::ptrdiff_t>(std::min(n, i));
            };
            std::merge(at(lo), at(lo + width), at(lo + width), at(lo + 2 * width),
                       to.begin() + static_cast<std::ptrdiff_t>(lo), less);
            report(std::min(n, lo + 2 * width) - lo);
        }
        std::swap(from, to);
    }
    if (from.data() != entries.data()) {
        std::copy(from.begin(), from.end(), entries.begin());
    }
}

// Counts the entries put in their place and reports every progressStep.
class PlacedCount {
public:
    void operator()(std::size_t n) {
        if ((done_ + n) / progressStep != done_ / progressStep) {
            checkProgress(done_ + n);
        }
        done_ += n;
    }

private:
    std::size_t done_ = 0;
};

// How many key bytes order the entries of a rank on their own.
std::size_t keyBytes(Rank rank) {
    return rank == TextRank ? 16 : rank == NullRank ? 0 : 8;
}

// Moves the entries into rank order, keeping their order within a rank
// (nothing moves when one rank holds them all, as it mostly does); returns
// where each rank's entries end.
std::array<std::size_t, 4> groupByRank(std::span<Entry> entries, std::span<Entry> scratch) {
    std::array<std::size_t, 4> count{};
    for (const Entry& e : entries) {
        ++count[e.rank];
    }
    std::array<std::size_t, 4> at{};
    std::partial_sum(count.begin(), count.end() - 1, at.begin() + 1);
    std::array<std::size_t, 4> end{};
    std::partial_sum(count.begin(), count.end(), end.begin());
    if (std::ranges::find(count, entries.size()) == count.end()) {
        for (const Entry& e : entries) {
            scratch[at[e.rank]++] = e;
        }
        std::ranges::copy(scratch.first(entries.size()), entries.begin());
    }
    return end;
}

// Entries with equal keys, in the order of the whole comparison; a run whose
// entries all compare equal (such as one value repeated) stays as it is.
template <class Keys>
void orderEqualKeys(std::span<Entry> entries, const Keys& keys, const EntryOrder& order) {
    const auto less = [&](const Entry& a, const Entry& b) { return order.compare(a, b) < 0; };
    for (std::size_t start = 0; start < entries.size();) {
        std::size_t end = start + 1;
        bool allEqual = true;
        for (; end < entries.size() && keys.sameKey(entries[start], entries[end]); ++end) {
            allEqual = allEqual && order.compare(entries[start], entries[end]) == 0;
        }
        if (!allEqual) {
            sortWithProgress(entries.subspan(start, end - start), less);
        }
        start = end;
    }
}

// Sorts the entries stably in the order of EntryOrder: by rank, each rank by
// its key bytes, runs of equal keys by the whole comparison, and ties of
// texts by their bytes.
void sortEntries(std::vector<Entry>& entries, const EntryOrder& order) {
    // Space to move entries through, left unfilled: each pass writes it first.
    const auto space = std::make_unique_for_overwrite<Entry[]>(entries.size());
    const std::span<Entry> scratch(space.get(), entries.size());
    const std::array<std::size_t, 4> end = groupByRank(entries, scratch);
    PlacedCount placed;
    std::size_t start = 0;
    for (const Rank rank : {NullRank, NumberRank, TextRank, BlobRank}) {
        const std::span<Entry> group(entries.data() + start, end[rank] - start);
        KeySort<Entry, PlacedCount&> keys(keyBytes(rank), placed);
        keys.sort(group, scratch.first(group.size()));
        orderEqualKeys(group, keys, order);
        start = end[rank];
    }
    orderTies(entries, order);
}

} // namespace

// The sort works on entries of its own and writes `order` only once it is
// done, so a sort that the progress callback cancels changes nothing.
void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              FieldType type, bool descending) {
    const bool numeric = isNumericType(type);
    // Descending is ascending on the rows taken in reverse, read out in
    // reverse: rows that sort equal keep the order they had.
    const std::size_t n = order.size();
    const auto at = [&](std::size_t i) { return descending ? n - 1 - i : i; };
    std::vector<Entry> entries;
    entries.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        entries.push_back(entryOf(rows, order[at(i)], column, numeric));
        if (entries.size() % progressStep == 0) {
            checkProgress(entries.size());
        }
    }
    sortEntries(entries, EntryOrder(rows, column));
    for (std::size_t i = 0; i < n; ++i) {
        order[at(i)] = entries[i].row;
    }
}

} // namespace vdata
