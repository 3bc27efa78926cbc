#pragma once

#include "data/service/ByteArena.h"
#include "data/service/PackedInts.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vdata {

// The distinct texts of one column, each stored once in the arena and found
// again by its hash, so a column that repeats a few values (cities, dates,
// states) keeps a short code per cell instead of the text.
class TextDictionary {
public:
    // Codes stay within two bytes; a column with more distinct texts than
    // this stores its texts plainly.
    static constexpr std::size_t kMaxEntries = 32767;

    // The code of `text`, added when it is new; -1 when the dictionary is full.
    std::int64_t codeOf(std::string_view text, ByteArena& arena);
    std::int64_t ref(std::int64_t code) const { return refs_[static_cast<std::size_t>(code)]; }
    std::size_t memoryUsed() const;

private:
    void grow(const ByteArena& arena);

    PackedInts refs_;                  // code -> arena reference
    std::vector<std::uint32_t> slots_; // open addressing: code + 1, or 0 for a free slot
};

} // namespace vdata
