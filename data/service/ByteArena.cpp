#include "data/service/ByteArena.h"

#include <cstring>

namespace vdata {
namespace {

constexpr unsigned kOffsetBits = 20;
constexpr std::size_t kBlockSize = std::size_t{1} << kOffsetBits;

std::size_t varintSize(std::size_t n) {
    std::size_t size = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++size;
    }
    return size;
}

} // namespace

// A reference is small while the arena is: (block << 20) | offset.
std::int64_t ByteArena::store(std::string_view bytes) {
    const std::size_t need = varintSize(bytes.size()) + bytes.size();
    if (blocks_.empty() || used_ + need > limit_) {
        limit_ = need > kBlockSize ? need : kBlockSize;
        // Not zero-filled: a block takes memory only as far as it is written.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(limit_));
        blockSizes_.push_back(limit_);
        used_ = 0;
    }
    char* p = blocks_.back().get() + used_;
    const auto ref = static_cast<std::int64_t>(((blocks_.size() - 1) << kOffsetBits) | used_);
    std::size_t n = bytes.size();
    while (n >= 0x80) {
        *p++ = static_cast<char>((n & 0x7f) | 0x80);
        n >>= 7;
    }
    *p++ = static_cast<char>(n);
    if (!bytes.empty()) {
        std::memcpy(p, bytes.data(), bytes.size());
    }
    used_ += need;
    return ref;
}

std::string_view ByteArena::bytes(std::int64_t ref) const {
    const auto r = static_cast<std::uint64_t>(ref);
    const char* p = blocks_[r >> kOffsetBits].get() + (r & (kBlockSize - 1));
    std::size_t n = 0;
    int shift = 0;
    unsigned char b;
    do {
        b = static_cast<unsigned char>(*p++);
        n |= static_cast<std::size_t>(b & 0x7f) << shift;
        shift += 7;
    } while (b & 0x80);
    return {p, n};
}

std::size_t ByteArena::memoryUsed() const {
    std::size_t total = 0;
    for (std::size_t s : blockSizes_) {
        total += s;
    }
    return total;
}

} // namespace vdata
