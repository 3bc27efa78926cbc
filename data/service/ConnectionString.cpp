#include "ConnectionString.h"

#include <algorithm>
#include <cctype>

namespace vdata {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

} // namespace

ConnectionString::ConnectionString(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        const std::string_view part = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trimmed(part.substr(0, eq));
        if (!key.empty()) {
            pairs_.emplace_back(std::string(key), std::string(part.substr(eq + 1)));
        }
    }
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
