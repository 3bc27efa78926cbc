#include "data/service/PackedInts.h"

#include <algorithm>

namespace vdata {
namespace {

unsigned widthFor(std::int64_t v) {
    if (v >= INT8_MIN && v <= INT8_MAX) {
        return 1;
    }
    if (v >= INT16_MIN && v <= INT16_MAX) {
        return 2;
    }
    if (v >= INT32_MIN && v <= INT32_MAX) {
        return 4;
    }
    return 8;
}

} // namespace

// Re-encodes every value at the width that `v` needs.
void PackedInts::widen(std::int64_t v) {
    PackedInts wider;
    wider.width_ = std::max(width_, widthFor(v));
    wider.reserve(std::max(capacity_, std::size_t{16}));
    for (std::size_t i = 0; i < size_; ++i) {
        wider.store(i, (*this)[i]);
    }
    wider.size_ = size_;
    *this = std::move(wider);
}

void PackedInts::reserve(std::size_t count) {
    auto bigger = std::make_unique_for_overwrite<unsigned char[]>(count * width_);
    if (size_ != 0) {
        std::memcpy(bigger.get(), bytes_.get(), size_ * width_);
    }
    bytes_ = std::move(bigger);
    capacity_ = count;
}

void PackedInts::set(std::size_t i, std::int64_t v) {
    fit(v);
    store(i, v);
}

} // namespace vdata
