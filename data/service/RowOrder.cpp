#include "RowOrder.h"

#include <algorithm>
#include <string_view>

namespace vdata {
namespace {

// One sort key per physical row, read once so that comparisons touch no
// arena decoding.
struct Key {
    int rank; // 0 NULL, 1 number, 2 text, 3 blob
    double number;
    std::string_view bytes;
};

Key keyOf(const Snapshot& rows, std::size_t row, std::size_t col) {
    switch (rows.kind(row, col)) {
    case Value::Kind::Null:
        return {0, 0, {}};
    case Value::Kind::Int:
        return {1, static_cast<double>(rows.intAt(row, col)), {}};
    case Value::Kind::Real:
        return {1, rows.realAt(row, col), {}};
    case Value::Kind::Text:
        return {2, 0, rows.bytesAt(row, col)};
    case Value::Kind::Blob:
        return {3, 0, rows.bytesAt(row, col)};
    }
    return {0, 0, {}};
}

bool less(const Key& a, const Key& b) {
    if (a.rank != b.rank) {
        return a.rank < b.rank;
    }
    if (a.rank == 1) {
        return a.number < b.number;
    }
    return a.bytes < b.bytes;
}

} // namespace

void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              bool descending) {
    std::vector<Key> keys(rows.rowCount());
    for (std::uint32_t r : order) {
        keys[r] = keyOf(rows, r, column);
    }
    if (descending) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return less(keys[b], keys[a]); });
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return less(keys[a], keys[b]); });
    }
}

} // namespace vdata
