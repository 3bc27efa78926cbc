#pragma once

#include <algorithm>
#include <cctype>
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

} // namespace vdata
