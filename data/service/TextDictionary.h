#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// The distinct texts of one column, each kept once and found again by its
// hash, so a column that repeats a few values (cities, dates, states) keeps
// a short code per cell instead of the text. The texts lie together in one
// pool, and each slot of the hash table carries the hash, so a look-up
// touches little memory.
class TextDictionary {
public:
    // Codes stay within two bytes (and below 32768, which the hash table's
    // slots rely on), and the pool within what a column of repeated values
    // needs; past either, the column stores texts plainly.
    static constexpr std::size_t kMaxEntries = 32767;
    static constexpr std::size_t kMaxPoolBytes = std::size_t{64} << 20;

    // The code of `text`, added when it is new; -1 when the dictionary is full.
    std::int64_t codeOf(std::string_view text);
    std::string_view text(std::int64_t code) const {
        const auto c = static_cast<std::size_t>(code);
        return {pool_.data() + starts_[c], starts_[c + 1] - starts_[c]};
    }
    std::size_t size() const { return starts_.size() - 1; }
    std::size_t memoryUsed() const;

private:
    void grow();

    std::string pool_;
    std::vector<std::uint32_t> starts_{0}; // text i is pool_[starts_[i], starts_[i + 1])
    std::vector<std::uint32_t> slots_;     // (hash tag << 16) | (code + 1), or 0 when free
};

} // namespace vdata
