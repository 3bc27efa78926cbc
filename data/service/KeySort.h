#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vdata {

// A stable radix sort of items by a key of up to sixteen bytes held in two
// words, `key[0]` first, most significant byte first. Each pass spreads the
// items over 256 buckets by one byte; a bucket that is small by then is
// finished by insertion. Items with equal keys keep their order. `placed`
// is told how many items reached their place, for progress reports.
template <class Item, class Placed> class KeySort {
public:
    // `keyBytes`: 16 to use both words, 8 for `key[0]` only, 0 for none.
    KeySort(std::size_t keyBytes, Placed placed) : keyBytes_(keyBytes), placed_(placed) {}

    void sort(std::span<Item> items, std::span<Item> scratch) {
        sortFrom(items.data(), scratch.data(), true, items.size(), 0);
    }

    bool sameKey(const Item& a, const Item& b) const {
        return (keyBytes_ == 0 || a.key[0] == b.key[0]) && (keyBytes_ <= 8 || a.key[1] == b.key[1]);
    }

private:
    static constexpr std::size_t smallBucket = 32;

    static unsigned byteAt(const Item& item, std::size_t i) {
        return static_cast<unsigned>(item.key[i / 8] >> (56 - 8 * (i % 8))) & 0xFFu;
    }

    bool less(const Item& a, const Item& b) const {
        if (keyBytes_ > 0 && a.key[0] != b.key[0]) {
            return a.key[0] < b.key[0];
        }
        return keyBytes_ > 8 && a.key[1] < b.key[1];
    }

    // Sorts the n items at `items` by their bytes from `byte` on, spreading
    // them into `other` and back in turn; `home` tells whether `items` is
    // where they are to end, else `other` is.
    void sortFrom(Item* items, Item* other, bool home, std::size_t n, std::size_t byte) {
        for (;; ++byte) {
            if (byte >= keyBytes_ || n <= smallBucket || allSameKey(items, n)) {
                insertionSort(items, n);
                if (!home) {
                    std::copy(items, items + n, other);
                }
                placed_(n);
                return;
            }
            std::array<std::size_t, 256> count{};
            for (std::size_t i = 0; i < n; ++i) {
                ++count[byteAt(items[i], byte)];
            }
            if (count[byteAt(items[0], byte)] < n) {
                spread(items, other, home, n, byte, count);
                return;
            }
        }
    }

    // One pass by `byte` into `other`, then each bucket on from there.
    void spread(Item* items, Item* other, bool home, std::size_t n, std::size_t byte,
                const std::array<std::size_t, 256>& count) {
        std::array<std::size_t, 256> at{};
        for (std::size_t d = 1; d < 256; ++d) {
            at[d] = at[d - 1] + count[d - 1];
        }
        for (std::size_t i = 0; i < n; ++i) {
            other[at[byteAt(items[i], byte)]++] = items[i];
        }
        std::size_t start = 0;
        for (std::size_t d = 0; d < 256; ++d) {
            if (count[d] != 0) {
                sortFrom(other + start, items + start, !home, count[d], byte + 1);
                start += count[d];
            }
        }
    }

    bool allSameKey(const Item* items, std::size_t n) const {
        for (std::size_t i = 1; i < n; ++i) {
            if (!sameKey(items[0], items[i])) {
                return false;
            }
        }
        return true;
    }

    void insertionSort(Item* items, std::size_t n) const {
        for (std::size_t i = 1; i < n; ++i) {
            const Item item = items[i];
            std::size_t j = i;
            for (; j > 0 && less(item, items[j - 1]); --j) {
                items[j] = items[j - 1];
            }
            items[j] = item;
        }
    }

    std::size_t keyBytes_;
    Placed placed_;
};

} // namespace vdata
