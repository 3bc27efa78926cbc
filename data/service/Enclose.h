#pragma once

#include <string>
#include <string_view>

namespace vdata {

// `text` between `open` and `close`, with every `close` inside doubled: the
// one quoting rule of SQL names ("a""b", [a]]b]) and connection-string values.
inline std::string enclose(std::string_view text, char open, char close) {
    std::string out(1, open);
    for (char c : text) {
        out += c;
        if (c == close) {
            out += close;
        }
    }
    return out + close;
}

} // namespace vdata
