#include "data/service/TextDictionary.h"

#include <functional>

namespace vdata {
namespace {

std::size_t hashOf(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

} // namespace

std::int64_t TextDictionary::codeOf(std::string_view text, ByteArena& arena) {
    if (slots_.empty()) {
        slots_.assign(64, 0);
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hashOf(text) & mask;
    while (const std::uint32_t slot = slots_[at]) {
        if (arena.bytes(ref(slot - 1)) == text) {
            return slot - 1;
        }
        at = (at + 1) & mask;
    }
    if (refs_.size() >= kMaxEntries) {
        return -1;
    }
    const auto code = static_cast<std::int64_t>(refs_.size());
    refs_.push_back(arena.store(text));
    slots_[at] = static_cast<std::uint32_t>(code + 1);
    if (refs_.size() * 2 > slots_.size()) {
        grow(arena);
    }
    return code;
}

// Doubles the table, keeping it at most half full.
void TextDictionary::grow(const ByteArena& arena) {
    std::vector<std::uint32_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t code = 0; code < refs_.size(); ++code) {
        std::size_t at = hashOf(arena.bytes(refs_[code])) & mask;
        while (slots_[at] != 0) {
            at = (at + 1) & mask;
        }
        slots_[at] = static_cast<std::uint32_t>(code + 1);
    }
}

std::size_t TextDictionary::memoryUsed() const {
    return refs_.memoryUsed() + slots_.capacity() * sizeof(std::uint32_t);
}

} // namespace vdata
