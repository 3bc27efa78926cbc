#include "data/service/PackedInts.h"

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

template <class T> void put(unsigned char* p, std::int64_t v) {
    const auto narrow = static_cast<T>(v);
    std::memcpy(p, &narrow, sizeof narrow);
}

} // namespace

// Re-encodes every value at the width that `v` needs, when that is wider.
void PackedInts::fit(std::int64_t v) {
    const unsigned width = widthFor(v);
    if (width <= width_) {
        return;
    }
    PackedInts wider;
    wider.width_ = width;
    wider.bytes_.reserve(bytes_.size() / width_ * width + width);
    for (std::size_t i = 0; i < size_; ++i) {
        wider.push_back((*this)[i]);
    }
    *this = std::move(wider);
}

void PackedInts::store(std::size_t i, std::int64_t v) {
    unsigned char* p = bytes_.data() + i * width_;
    switch (width_) {
    case 1:
        put<std::int8_t>(p, v);
        break;
    case 2:
        put<std::int16_t>(p, v);
        break;
    case 4:
        put<std::int32_t>(p, v);
        break;
    default:
        put<std::int64_t>(p, v);
    }
}

void PackedInts::push_back(std::int64_t v) {
    fit(v);
    bytes_.resize(bytes_.size() + width_);
    store(size_++, v);
}

void PackedInts::set(std::size_t i, std::int64_t v) {
    fit(v);
    store(i, v);
}

void PackedInts::clear() {
    *this = PackedInts();
}

} // namespace vdata
