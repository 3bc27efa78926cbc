#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace vdata {

// A growing array of signed integers, each kept in the fewest of 1, 2, 4 or
// 8 bytes that hold every value stored so far. A value that does not fit
// widens the whole array once, so small numbers, dictionary codes and
// offsets cost a fraction of a full word.
class PackedInts {
public:
    std::size_t size() const { return size_; }

    std::int64_t operator[](std::size_t i) const {
        const unsigned char* p = bytes_.get() + i * width_;
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

    void push_back(std::int64_t v) {
        fit(v);
        if (size_ == capacity_) {
            reserve(capacity_ < 16 ? 16 : capacity_ * 2);
        }
        store(size_++, v);
    }
    void set(std::size_t i, std::int64_t v);
    // Makes room for `count` values at the present width, so that appending
    // up to that many copies nothing. Room not yet written takes no memory
    // from the system.
    void makeRoom(std::size_t count) {
        if (count > capacity_) {
            reserve(count);
        }
    }
    // Gives back the room kept for values still to come.
    void shrinkToFit() {
        if (capacity_ > size_) {
            reserve(size_);
        }
    }
    std::size_t memoryUsed() const { return capacity_ * width_; }

private:
    template <class T> static T load(const unsigned char* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    void fit(std::int64_t v) {
        if (!fits(v)) {
            widen(v);
        }
    }
    bool fits(std::int64_t v) const {
        switch (width_) {
        case 1:
            return v >= INT8_MIN && v <= INT8_MAX;
        case 2:
            return v >= INT16_MIN && v <= INT16_MAX;
        case 4:
            return v >= INT32_MIN && v <= INT32_MAX;
        default:
            return true;
        }
    }
    void widen(std::int64_t v);
    void store(std::size_t i, std::int64_t v) {
        unsigned char* p = bytes_.get() + i * width_;
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
    template <class T> static void put(unsigned char* p, std::int64_t v) {
        const auto narrow = static_cast<T>(v);
        std::memcpy(p, &narrow, sizeof narrow);
    }

    void reserve(std::size_t count);

    // Not a vector: growing it must not zero-fill, and appending a value
    // must not cost a call.
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t capacity_ = 0; // in values
    unsigned width_ = 1;
    std::size_t size_ = 0;
};

} // namespace vdata
