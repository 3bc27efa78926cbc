#include "data/service/TemporalText.h"

#include "data/service/Errors.h"

namespace vdata {
namespace {

// The number in s[at, at + digits), or -1 when a character there is no digit.
int number(std::string_view s, std::size_t at, std::size_t digits) {
    if (at + digits > s.size()) {
        return -1;
    }
    int n = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return -1;
        }
        n = n * 10 + (s[i] - '0');
    }
    return n;
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

// ".d" to ".dddddd" at the start of s; returns its length (0 when absent, -1
// when malformed).
int fractionLength(std::string_view s) {
    if (s.empty() || s[0] != '.') {
        return 0;
    }
    std::size_t n = 1;
    while (n < s.size() && n <= 6 && s[n] >= '0' && s[n] <= '9') {
        ++n;
    }
    return n > 1 ? static_cast<int>(n) : -1;
}

// "+hh", "-hh", "+hh:mm" or "-hh:mm", the whole of s.
bool isZone(std::string_view s) {
    if (s.size() != 3 && s.size() != 6) {
        return false;
    }
    const bool minutes =
        s.size() == 3 || (s[3] == ':' && number(s, 4, 2) >= 0 && number(s, 4, 2) < 60);
    return (s[0] == '+' || s[0] == '-') && number(s, 1, 2) >= 0 && number(s, 1, 2) < 24 && minutes;
}

// HH:mm:ss with an optional fraction, then whatever `rest` accepts.
template <typename Rest> bool isClock(std::string_view s, Rest rest) {
    if (s.size() < 8 || s[2] != ':' || s[5] != ':') {
        return false;
    }
    const int h = number(s, 0, 2);
    const int m = number(s, 3, 2);
    const int sec = number(s, 6, 2);
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59) {
        return false;
    }
    const int fraction = fractionLength(s.substr(8));
    return fraction >= 0 && rest(s.substr(8 + static_cast<std::size_t>(fraction)));
}

[[noreturn]] void refuse(const std::string& text, const char* what, const char* form) {
    throw DataError("'" + text + "' is not a valid " + what + ". Use the form " + form + ".");
}

} // namespace

bool isDateText(std::string_view s) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') {
        return false;
    }
    const int y = number(s, 0, 4);
    const int m = number(s, 5, 2);
    const int d = number(s, 8, 2);
    return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

bool isTimeText(std::string_view s) {
    return isClock(s, [](std::string_view rest) { return rest.empty(); });
}

bool isDateTimeText(std::string_view s) {
    return s.size() > 11 && isDateText(s.substr(0, 10)) && s[10] == ' ' &&
           isClock(s.substr(11),
                   [](std::string_view rest) { return rest.empty() || isZone(rest); });
}

std::string temporalValueText(FieldType type, const std::string& text) {
    if (type == FieldType::Date && !isDateText(text)) {
        refuse(text, "date", "yyyy-MM-dd");
    }
    if (type == FieldType::DateTime && !isDateTimeText(text)) {
        if (isDateText(text)) {
            return text + " 00:00:00";
        }
        refuse(text, "date and time", "yyyy-MM-dd HH:mm:ss");
    }
    if (type == FieldType::Time && !isTimeText(text)) {
        refuse(text, "time", "HH:mm:ss");
    }
    return text;
}

} // namespace vdata
