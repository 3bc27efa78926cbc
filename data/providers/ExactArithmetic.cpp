#include "data/providers/ExactArithmetic.h"

#include "data/service/DecimalText.h"
#include "data/service/Errors.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace vdata {
namespace {

// The running sum of an aggregate: exact decimal text, with the counts of
// the values added (NULLs left out) and of those that were no integers.
struct ExactSum {
    std::string total = "0";
    std::int64_t count = 0;
    std::int64_t reals = 0;
    double infinite = 0; // the sum of the infinite values, which have no decimal
};

ExactSum* sumOf(sqlite3_context* context, bool create) {
    auto** slot =
        static_cast<ExactSum**>(sqlite3_aggregate_context(context, create ? sizeof(ExactSum*) : 0));
    if (slot != nullptr && *slot == nullptr && create) {
        *slot = new ExactSum;
    }
    return slot == nullptr ? nullptr : *slot;
}

// A number as SQLite takes it for arithmetic, as decimal text: text that is
// no number counts as 0. Empty for NULL and for an infinite value.
std::optional<std::string> decimalOf(sqlite3_value* value, bool& integer) {
    const int type = sqlite3_value_numeric_type(value);
    integer = type == SQLITE_INTEGER;
    if (type == SQLITE_INTEGER) {
        return std::to_string(sqlite3_value_int64(value));
    }
    if (type == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(value);
        return std::isfinite(d) ? std::optional(shortestDecimalText(d)) : std::nullopt;
    }
    return type == SQLITE_NULL ? std::nullopt : std::optional<std::string>("0");
}

// The decimal text as the result: an integer when `integer` and it fits.
void resultDecimal(sqlite3_context* context, const std::string& text, bool integer) {
    std::int64_t whole = 0;
    const char* end = text.data() + text.size();
    if (integer && std::from_chars(text.data(), end, whole).ptr == end) {
        sqlite3_result_int64(context, whole);
    } else {
        sqlite3_result_double(context, std::strtod(text.c_str(), nullptr));
    }
}

// a + b, a - b or a * b exactly; as SQLite does where a value is NULL or
// infinite.
template <char op> void arithmetic(sqlite3_context* context, int, sqlite3_value** values) {
    bool integerA = false;
    bool integerB = false;
    const std::optional<std::string> a = decimalOf(values[0], integerA);
    const std::optional<std::string> b = decimalOf(values[1], integerB);
    if (!a || !b) {
        const bool isNull = sqlite3_value_type(values[0]) == SQLITE_NULL ||
                            sqlite3_value_type(values[1]) == SQLITE_NULL;
        const double x = sqlite3_value_double(values[0]);
        const double y = sqlite3_value_double(values[1]);
        isNull ? sqlite3_result_null(context)
               : sqlite3_result_double(context, op == '+'   ? x + y
                                                : op == '-' ? x - y
                                                            : x * y);
        return;
    }
    const std::string negatedB = b->starts_with('-') ? b->substr(1) : "-" + *b;
    const std::string exact = op == '*'   ? multiplyDecimalText(*a, *b)
                              : op == '-' ? addDecimalText(*a, negatedB)
                                          : addDecimalText(*a, *b);
    resultDecimal(context, exact, integerA && integerB);
}

// Adds the value (`sign` -1 takes it away again, for a moving window).
void add(sqlite3_context* context, sqlite3_value* value, int sign) {
    const int type = sqlite3_value_numeric_type(value);
    if (type == SQLITE_NULL) {
        return;
    }
    ExactSum* sum = sumOf(context, true);
    if (sum == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    sum->count += sign;
    std::string text = "0";
    if (type == SQLITE_INTEGER) {
        text = std::to_string(sqlite3_value_int64(value));
    } else {
        sum->reals += sign;
        const double d = type == SQLITE_FLOAT ? sqlite3_value_double(value) : 0;
        if (std::isfinite(d)) {
            text = shortestDecimalText(d);
        } else {
            sum->infinite += sign * d;
        }
    }
    if (sign < 0) {
        text = text.starts_with('-') ? text.substr(1) : "-" + text;
    }
    sum->total = addDecimalText(sum->total, text);
}

// The decimal text divided by `count` (> 0), to 25 digits after the point:
// more than a double holds, so that the nearest double is that of the
// exact quotient.
std::string divided(const std::string& text, std::int64_t count) {
    const bool negative = text.starts_with('-');
    std::string digits = text.substr(negative ? 1 : 0);
    const std::size_t point = digits.find('.');
    const std::size_t integerDigits = point == std::string::npos ? digits.size() : point;
    if (point != std::string::npos) {
        digits.erase(point, 1);
    }
    digits.append(25 - std::min<std::size_t>(25, digits.size() - integerDigits), '0');
    // A count of rows stays far below 2^64 / 10, so the rest times ten fits.
    const auto divisor = static_cast<std::uint64_t>(count);
    std::string quotient;
    std::uint64_t rest = 0;
    for (char c : digits) {
        rest = rest * 10 + static_cast<std::uint64_t>(c - '0');
        quotient += static_cast<char>('0' + rest / divisor);
        rest %= divisor;
    }
    std::string result(negative ? "-0" : "0");
    result.append(quotient, 0, integerDigits).append(1, '.').append(quotient, integerDigits);
    return result;
}

double realOf(const ExactSum& sum) {
    return sum.infinite != 0 ? sum.infinite : std::strtod(sum.total.c_str(), nullptr);
}

void resultSum(sqlite3_context* context, bool total, bool average) {
    const ExactSum* sum = sumOf(context, false);
    if (sum == nullptr || sum->count == 0) {
        total ? sqlite3_result_double(context, 0) : sqlite3_result_null(context);
        return;
    }
    if (average) {
        const double average = sum->infinite != 0
                                   ? sum->infinite
                                   : std::strtod(divided(sum->total, sum->count).c_str(), nullptr);
        sqlite3_result_double(context, average);
        return;
    }
    std::int64_t whole = 0;
    const char* end = sum->total.data() + sum->total.size();
    if (total || sum->reals > 0) {
        sqlite3_result_double(context, realOf(*sum));
    } else if (std::from_chars(sum->total.data(), end, whole).ptr == end) {
        sqlite3_result_int64(context, whole);
    } else {
        sqlite3_result_error(context, "integer overflow", -1);
    }
}

void step(sqlite3_context* context, int, sqlite3_value** values) {
    add(context, values[0], 1);
}

void inverse(sqlite3_context* context, int, sqlite3_value** values) {
    add(context, values[0], -1);
}

template <bool total, bool average> void value(sqlite3_context* context) {
    resultSum(context, total, average);
}

template <bool total, bool average> void final(sqlite3_context* context) {
    resultSum(context, total, average);
    if (ExactSum* sum = sumOf(context, false)) {
        delete sum;
    }
}

template <bool total, bool average> void define(sqlite3* db, const char* name) {
    const int rc = sqlite3_create_window_function(db, name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                                  nullptr, step, final<total, average>,
                                                  value<total, average>, inverse, nullptr);
    if (rc != SQLITE_OK) {
        throw DataError(std::string("Cannot define ") + name + "() for Access files.",
                        ErrorKind::Connection, std::to_string(rc));
    }
}

void defineScalar(sqlite3* db, const char* name,
                  void (*function)(sqlite3_context*, int, sqlite3_value**)) {
    const int rc = sqlite3_create_function_v2(db, name, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                              nullptr, function, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        throw DataError(std::string("Cannot define ") + name + "() for Access files.",
                        ErrorKind::Connection, std::to_string(rc));
    }
}

} // namespace

void addExactArithmetic(sqlite3* db) {
    define<false, false>(db, "sum");
    define<true, false>(db, "total");
    define<false, true>(db, "avg");
    defineScalar(db, "exact_add", arithmetic<'+'>);
    defineScalar(db, "exact_sub", arithmetic<'-'>);
    defineScalar(db, "exact_mul", arithmetic<'*'>);
}

} // namespace vdata
