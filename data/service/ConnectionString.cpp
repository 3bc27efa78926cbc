#include "data/service/ConnectionString.h"

#include "data/service/Enclose.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <cctype>

namespace vdata {

namespace {

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads a value that starts with '"' off the front of `text` (the value's
// first character onwards), up to the ';' after its closing quote. Returns
// false, reading nothing, when the quote is never closed.
bool takeQuoted(std::string_view& text, std::string& value) {
    std::string inner;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            inner += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            inner += '"';
            ++i;
        } else {
            const std::size_t end = std::min(text.find(';', i), text.size());
            text.remove_prefix(std::min(end + 1, text.size()));
            value = std::move(inner);
            return true;
        }
    }
    return false;
}

} // namespace

ConnectionString::ConnectionString(std::string_view text) {
    while (!text.empty()) {
        const std::size_t eq = text.find('=');
        const std::size_t semicolon = std::min(text.find(';'), text.size());
        if (eq == std::string_view::npos || eq > semicolon) { // a part without '='
            text.remove_prefix(std::min(semicolon + 1, text.size()));
            continue;
        }
        const std::string_view key = trimmed(text.substr(0, eq));
        std::string value;
        text.remove_prefix(eq + 1);
        if (text.empty() || text.front() != '"' || !takeQuoted(text, value)) {
            const std::size_t end = std::min(text.find(';'), text.size());
            value = std::string(text.substr(0, end));
            text.remove_prefix(std::min(end + 1, text.size()));
        }
        if (!key.empty()) {
            pairs_.emplace_back(std::string(key), std::move(value));
        }
    }
}

std::string connectionValue(std::string_view value) {
    const bool plain = value.find_first_of(";=\"'") == std::string_view::npos &&
                       (value.empty() || (!isBlank(value.front()) && !isBlank(value.back())));
    if (plain) {
        return std::string(value);
    }
    return enclose(value, '"', '"');
}

bool ConnectionString::has(std::string_view key) const {
    return std::any_of(pairs_.begin(), pairs_.end(),
                       [&](const auto& p) { return equalsIgnoreCase(p.first, key); });
}

std::string ConnectionString::value(std::string_view key) const {
    for (auto it = pairs_.rbegin(); it != pairs_.rend(); ++it) {
        if (equalsIgnoreCase(it->first, key)) {
            return it->second;
        }
    }
    return {};
}

} // namespace vdata
