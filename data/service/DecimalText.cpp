#include "DecimalText.h"

#include <array>
#include <charconv>

namespace vdata {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal as sign and magnitude: integer digits without leading zeros,
// fraction digits without trailing zeros. Zero has no sign.
struct Decimal {
    bool negative = false;
    std::string_view integer;
    std::string_view fraction;
};

Decimal split(std::string_view s) {
    Decimal d;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        d.negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const std::size_t point = s.find('.');
    d.integer = s.substr(0, point);
    d.fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    d.integer.remove_prefix(std::min(d.integer.find_first_not_of('0'), d.integer.size()));
    const std::size_t lastDigit = d.fraction.find_last_not_of('0');
    d.fraction = d.fraction.substr(0, lastDigit == std::string_view::npos ? 0 : lastDigit + 1);
    if (d.integer.empty() && d.fraction.empty()) {
        d.negative = false;
    }
    return d;
}

int compareMagnitude(const Decimal& a, const Decimal& b) {
    if (a.integer.size() != b.integer.size()) {
        return a.integer.size() < b.integer.size() ? -1 : 1;
    }
    if (const int c = a.integer.compare(b.integer); c != 0) {
        return c;
    }
    return a.fraction.compare(b.fraction);
}

} // namespace

bool isDecimalText(std::string_view s) {
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        s.remove_prefix(1);
    }
    bool digits = false;
    bool point = false;
    for (char c : s) {
        if (isDigit(c)) {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

int compareDecimalText(std::string_view a, std::string_view b) {
    const Decimal x = split(a);
    const Decimal y = split(b);
    if (x.negative != y.negative) {
        return x.negative ? -1 : 1;
    }
    const int c = compareMagnitude(x, y);
    return x.negative ? -c : c;
}

std::string exactDecimalText(double d) {
    // A double's exact value has at most 1074 fraction digits.
    std::array<char, 1500> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d,
                                         std::chars_format::fixed, 1074);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

} // namespace vdata
