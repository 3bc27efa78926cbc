#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vdata {

// A growing array of signed integers, each kept in the fewest of 1, 2, 4 or
// 8 bytes that hold every value stored so far. A value that does not fit
// widens the whole array once, so small numbers, dictionary codes and
// offsets cost a fraction of a full word.
class PackedInts {
public:
    std::size_t size() const { return size_; }

    std::int64_t operator[](std::size_t i) const {
        const unsigned char* p = bytes_.data() + i * width_;
        switch (width_) {
        case 1:
            return static_cast<std::int8_t>(*p);
        case 2:
            return load<std::int16_t>(p);
        case 4:
            return load<std::int32_t>(p);
        default:
            return load<std::int64_t>(p);
        }
    }

    void push_back(std::int64_t v);
    void set(std::size_t i, std::int64_t v);
    void clear();
    std::size_t memoryUsed() const { return bytes_.capacity(); }

private:
    template <class T> static T load(const unsigned char* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    void fit(std::int64_t v);
    void store(std::size_t i, std::int64_t v);

    std::vector<unsigned char> bytes_;
    unsigned width_ = 1;
    std::size_t size_ = 0;
};

} // namespace vdata
