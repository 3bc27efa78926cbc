#include "data/service/DecimalText.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <vector>

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

std::string_view digitsAt(std::string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < s.size() && isDigit(s[pos])) {
        ++pos;
    }
    return s.substr(start, pos - start);
}

// The exponent after "e"/"E": an optional sign and at most four digits.
std::optional<int> exponentAt(std::string_view s, std::size_t& pos) {
    if (pos == s.size()) {
        return 0;
    }
    if (s[pos] != 'e' && s[pos] != 'E') {
        return std::nullopt;
    }
    ++pos;
    const bool negative = pos < s.size() && s[pos] == '-';
    pos += pos < s.size() && (s[pos] == '-' || s[pos] == '+');
    const std::string_view digits = digitsAt(s, pos);
    int value = 0;
    if (digits.empty() || digits.size() > 4 || pos != s.size()) {
        return std::nullopt;
    }
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return negative ? -value : value;
}

// The digits with the decimal point `point` places from their start
// (negative or past their end pads with zeros), without needless leading
// zeros.
std::string placePoint(const std::string& digits, long point) {
    std::string text;
    if (point <= 0) {
        text = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (static_cast<std::size_t>(point) >= digits.size()) {
        text = digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0');
    } else {
        text = digits.substr(0, static_cast<std::size_t>(point)) + "." +
               digits.substr(static_cast<std::size_t>(point));
    }
    const std::size_t zeros = text.find_first_not_of('0');
    const bool keepOne = zeros == std::string::npos || text[zeros] == '.';
    return text.substr(std::min(zeros, text.size()) - (keepOne && zeros > 0 ? 1 : 0));
}

// The magnitudes' digits with `scale` fraction digits and `width` digits in
// all, zeros filled in on both sides.
std::string alignedDigits(const Decimal& d, std::size_t width, std::size_t scale) {
    std::string digits(d.integer);
    digits.append(d.fraction).append(scale - d.fraction.size(), '0');
    return std::string(width - digits.size(), '0') + digits;
}

// a + b, or a - b when `subtract` (then a >= b), digit by digit.
std::string addDigits(const std::string& a, const std::string& b, bool subtract) {
    std::string sum(a.size() + 1, '0');
    int carry = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        int digit = (a[i] - '0') + (subtract ? -(b[i] - '0') : (b[i] - '0')) + carry;
        carry = digit < 0 ? -1 : digit / 10;
        digit = digit < 0 ? digit + 10 : digit % 10;
        sum[i + 1] = static_cast<char>('0' + digit);
    }
    sum[0] = static_cast<char>('0' + carry);
    return sum;
}

} // namespace

std::optional<std::string> typedDecimalText(std::string_view typed) {
    std::size_t pos = 0;
    const bool negative = !typed.empty() && typed[0] == '-';
    pos += !typed.empty() && (typed[0] == '-' || typed[0] == '+');
    const std::string_view integer = digitsAt(typed, pos);
    std::string_view fraction;
    if (pos < typed.size() && typed[pos] == '.') {
        fraction = digitsAt(typed, ++pos);
    }
    const std::optional<int> exponent = exponentAt(typed, pos);
    if ((integer.empty() && fraction.empty()) || !exponent || std::abs(*exponent) > 1000) {
        return std::nullopt;
    }
    const std::string digits = std::string(integer) + std::string(fraction);
    const long point = static_cast<long>(integer.size()) + *exponent;
    return (negative ? "-" : "") + placePoint(digits, point);
}

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

std::string paddedDecimalText(std::string text, int scale) {
    if (scale <= 0 || !isDecimalText(text)) {
        return text;
    }
    const std::size_t point = text.find('.');
    const std::size_t digits = point == std::string::npos ? 0 : text.size() - point - 1;
    if (point == std::string::npos) {
        text += '.';
    }
    if (digits < static_cast<std::size_t>(scale)) {
        text.append(static_cast<std::size_t>(scale) - digits, '0');
    }
    return text;
}

std::string exactDecimalText(double d) {
    // A double's exact value has at most 1074 fraction digits.
    std::array<char, 1500> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d,
                                         std::chars_format::fixed, 1074);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

std::string shortestDecimalText(double d) {
    // Fixed notation of the largest double has 309 digits, of the smallest
    // 1074 after the point, and the shortest text of the latter needs 328.
    std::array<char, 400> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), d, std::chars_format::fixed);
    return ec == std::errc() ? std::string(buffer.data(), end) : exactDecimalText(d);
}

std::string addDecimalText(std::string_view a, std::string_view b) {
    Decimal x = split(a);
    Decimal y = split(b);
    const bool subtract = x.negative != y.negative;
    if (subtract && compareMagnitude(x, y) < 0) {
        std::swap(x, y);
    }
    const std::size_t scale = std::max(x.fraction.size(), y.fraction.size());
    const std::size_t width = std::max(x.integer.size(), y.integer.size()) + scale;
    const std::string digits =
        addDigits(alignedDigits(x, width, scale), alignedDigits(y, width, scale), subtract);
    const std::string text = placePoint(digits, static_cast<long>(digits.size() - scale));
    const Decimal sum = split(text);
    const bool zero = sum.integer.empty() && sum.fraction.empty();
    return (x.negative && !zero ? "-" : "") + text;
}

std::string multiplyDecimalText(std::string_view a, std::string_view b) {
    const Decimal x = split(a);
    const Decimal y = split(b);
    const std::string p = std::string(x.integer).append(x.fraction);
    const std::string q = std::string(y.integer).append(y.fraction);
    if (p.empty() || q.empty()) {
        return "0";
    }
    std::vector<int> sums(p.size() + q.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        for (std::size_t j = 0; j < q.size(); ++j) {
            sums[i + j + 1] += (p[i] - '0') * (q[j] - '0');
        }
    }
    std::string digits(sums.size(), '0');
    int carry = 0;
    for (std::size_t k = sums.size(); k-- > 0;) {
        const int digit = sums[k] + carry;
        digits[k] = static_cast<char>('0' + digit % 10);
        carry = digit / 10;
    }
    const std::size_t scale = x.fraction.size() + y.fraction.size();
    const std::string text = placePoint(digits, static_cast<long>(digits.size() - scale));
    const Decimal product = split(text);
    const bool zero = product.integer.empty() && product.fraction.empty();
    return (x.negative != y.negative && !zero ? "-" : "") + text;
}

} // namespace vdata
