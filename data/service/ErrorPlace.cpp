#include "data/service/ErrorPlace.h"

#include <charconv>

namespace vdata {

namespace {

// The byte offset of the n-th (from 1) UTF-8 character.
std::optional<std::size_t> characterOffset(std::string_view sql, std::size_t n) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        if ((static_cast<unsigned char>(sql[i]) & 0xC0) != 0x80 && ++seen == n) {
            return i;
        }
    }
    return std::nullopt;
}

// The quoted text is found from the line's start on; a line without it (the
// engine cut or changed it) points at the line's start.
std::optional<std::size_t> lineOffset(std::string_view sql, std::size_t line,
                                      std::string_view near) {
    std::size_t start = 0;
    for (std::size_t n = 1; n < line; ++n) {
        start = sql.find('\n', start);
        if (start == std::string_view::npos) {
            return std::nullopt;
        }
        ++start;
    }
    if (!near.empty()) {
        if (const std::size_t at = sql.find(near, start); at != std::string_view::npos) {
            return at;
        }
    }
    return start;
}

} // namespace

std::optional<std::size_t> errorOffset(std::string_view sql, const SqlErrorPlace& place) {
    switch (place.unit) {
    case SqlErrorPlace::Unit::Byte:
        return place.value < sql.size() ? std::optional(place.value) : std::nullopt;
    case SqlErrorPlace::Unit::Character:
        return characterOffset(sql, place.value);
    case SqlErrorPlace::Unit::Line:
        return lineOffset(sql, place.value, place.near);
    }
    return std::nullopt;
}

std::optional<SqlErrorPlace> placeInMessage(std::string_view message) {
    constexpr std::string_view atLine = " at line ";
    const std::size_t at = message.rfind(atLine);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const char* digits = message.data() + at + atLine.size();
    std::size_t line = 0;
    if (std::from_chars(digits, message.data() + message.size(), line).ec != std::errc() ||
        line == 0) {
        return std::nullopt;
    }
    SqlErrorPlace place{SqlErrorPlace::Unit::Line, line, {}};
    // The engine quotes the text from the failing token on: near '<text>'.
    constexpr std::string_view nearQuote = "near '";
    if (const std::size_t near = message.rfind(nearQuote, at);
        near != std::string_view::npos && at > 0 && message[at - 1] == '\'') {
        const std::size_t from = near + nearQuote.size();
        place.near = std::string(message.substr(from, at - 1 - from));
    }
    return place;
}

} // namespace vdata
