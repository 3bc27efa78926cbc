#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vdata {

// Decodes one UTF-8 sequence at s[i] and moves i past it; a malformed byte
// stands for itself.
char32_t decodeUtf8(std::string_view s, std::size_t& i);
void appendUtf8(std::string& out, char32_t c);

// Folds letter case of UTF-8 text (ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic capitals), for case-insensitive matching.
std::string foldCase(std::string_view text);
// Whether `text`, its case folded as foldCase does, starts with `folded` (or,
// with `whole`, equals it), without building the folded text.
bool matchesFolded(std::string_view text, std::string_view folded, bool whole);
// Whether `text`, its case folded, holds `folded` anywhere.
bool containsFolded(std::string_view text, std::string_view folded);

// The order in which a person reads text: letter case aside, accented Latin
// letters as their base letter (ß as ss, æ as ae), combining accents left
// out. Returns <0, 0 or >0; texts that differ only in case or accents
// compare equal.
int compareCollated(std::string_view a, std::string_view b);

// The first sixteen bytes of the folded text, big-endian, zero-padded: when
// two keys differ they order the texts as compareCollated does. `complete`
// tells that the key holds the whole folded text, so equal complete keys
// mean texts that compare equal.
struct CollationKey {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    bool complete = false;
};
CollationKey collationKey(std::string_view text);

} // namespace vdata
