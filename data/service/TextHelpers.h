#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

namespace vdata {

// Whether a and b hold the same text when ASCII letters are compared without
// regard to case (keywords, identifiers, connection-string keys).
inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// `s` without the blanks at either end.
std::string_view trimmed(std::string_view s);

// Whether the whole of `text` is a decimal integer (an optional '-' and
// digits, nothing else); its value goes to `out`.
bool parseInt(std::string_view text, std::int64_t& out);

// Whether the whole of `text` is a number in plain or exponent form, or
// "NaN", "Infinity", "-Infinity" (letter case aside); its value goes to `out`.
bool parseReal(std::string_view text, double& out);

// `n` in decimal with its digits in groups of three: "82,920".
std::string groupedDigits(std::uint64_t n);

} // namespace vdata
