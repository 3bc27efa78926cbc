#include "RowOrder.h"

#include <algorithm>
#include <string_view>

namespace vdata {
namespace {

// One sort entry per row: its rank (0 NULL, 1 number, 2 text, 3 blob), a
// key that settles most comparisons on its own (the number, or the first
// eight bytes of the text, big-endian), and the row.
struct Entry {
    std::uint64_t prefix;
    double number;
    std::uint32_t row;
    std::uint8_t rank;
};

std::uint64_t prefixOf(std::string_view bytes) {
    std::uint64_t p = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        p = (p << 8) | (i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u);
    }
    return p;
}

Entry entryOf(const Snapshot& rows, std::uint32_t row, std::size_t col) {
    switch (rows.kind(row, col)) {
    case Value::Kind::Null:
        return {0, 0, row, 0};
    case Value::Kind::Int:
        return {0, static_cast<double>(rows.intAt(row, col)), row, 1};
    case Value::Kind::Real:
        return {0, rows.realAt(row, col), row, 1};
    case Value::Kind::Text:
        return {prefixOf(rows.bytesAt(row, col)), 0, row, 2};
    case Value::Kind::Blob:
        return {prefixOf(rows.bytesAt(row, col)), 0, row, 3};
    }
    return {0, 0, row, 0};
}

} // namespace

void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              bool descending) {
    std::vector<Entry> entries;
    entries.reserve(order.size());
    for (std::uint32_t r : order) {
        entries.push_back(entryOf(rows, r, column));
    }
    const auto less = [&](const Entry& a, const Entry& b) {
        if (a.rank != b.rank) {
            return a.rank < b.rank;
        }
        if (a.rank == 1) {
            return a.number < b.number;
        }
        if (a.prefix != b.prefix) {
            return a.prefix < b.prefix;
        }
        return a.rank > 1 && rows.bytesAt(a.row, column) < rows.bytesAt(b.row, column);
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
