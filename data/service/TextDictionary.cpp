#include "data/service/TextDictionary.h"

#include <functional>

namespace vdata {
namespace {

std::uint64_t hashOf(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

// A slot holds the top sixteen bits of the hash and the code plus one (codes
// stay below 32768), so the table is small enough to stay in cache.
std::uint32_t tagOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 48);
}

std::uint32_t slotFor(std::uint64_t hash, std::size_t code) {
    return (tagOf(hash) << 16) | static_cast<std::uint32_t>(code + 1);
}

std::size_t codeIn(std::uint32_t slot) {
    return (slot & 0xffffu) - 1;
}

} // namespace

std::int64_t TextDictionary::codeOf(std::string_view text) {
    if (slots_.empty()) {
        slots_.assign(64, 0);
    }
    const std::uint64_t hash = hashOf(text);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (const std::uint32_t slot = slots_[at]) {
        if ((slot >> 16) == tagOf(hash) && this->text(codeIn(slot)) == text) {
            return static_cast<std::int64_t>(codeIn(slot));
        }
        at = (at + 1) & mask;
    }
    if (size() >= kMaxEntries || pool_.size() + text.size() > kMaxPoolBytes) {
        return -1;
    }
    const std::size_t code = size();
    pool_.append(text);
    starts_.push_back(static_cast<std::uint32_t>(pool_.size()));
    slots_[at] = slotFor(hash, code);
    if (size() * 4 > slots_.size() * 3) {
        grow();
    }
    return static_cast<std::int64_t>(code);
}

// Doubles the table, keeping it at most three quarters full.
void TextDictionary::grow() {
    std::vector<std::uint32_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint32_t slot : old) {
        if (slot == 0) {
            continue;
        }
        const std::uint64_t hash = hashOf(text(codeIn(slot)));
        std::size_t at = hash & mask;
        while (slots_[at] != 0) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

std::size_t TextDictionary::memoryUsed() const {
    return pool_.capacity() + starts_.capacity() * sizeof(std::uint32_t) +
           slots_.capacity() * sizeof(std::uint32_t);
}

} // namespace vdata
