#include "data/providers/accessreader/AccessValues.h"

#include <cmath>
#include <cstdio>

namespace vdata {
namespace {

// The first and last day Access holds: 100-01-01 and 9999-12-31.
constexpr double firstDay = -657434;
constexpr double lastDay = 2958465;

// Days since 1899-12-30 to a proleptic Gregorian date.
struct CivilDate {
    long long year;
    unsigned month;
    unsigned day;
};

CivilDate civilFromDays(long long days) {
    const long long z = days - 25569 + 719468; // from 1970-01-01, then from 0000-03-01
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long long>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

} // namespace

std::optional<std::string> accessDateText(double stored) {
    if (!std::isfinite(stored) || stored <= firstDay - 1 || stored >= lastDay + 1) {
        return std::nullopt;
    }
    double whole = 0;
    const double fraction = std::modf(stored, &whole);
    auto days = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(fraction) * 86400.0);
    if (seconds >= 86400) { // rounded up to the next midnight
        seconds -= 86400;
        ++days;
    }
    const CivilDate date = civilFromDays(days);
    const auto clock = static_cast<int>(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year),
                  date.month, date.day, clock / 3600, clock / 60 % 60, clock % 60);
    return std::string(text);
}

std::string accessCurrencyText(std::int64_t stored) {
    const bool negative = stored < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(0) - static_cast<std::uint64_t>(stored)
                                             : static_cast<std::uint64_t>(stored);
    char text[32];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return text;
}

} // namespace vdata
