#include "data/providers/ExactSums.h"

#include "data/service/DecimalText.h"
#include "data/service/Errors.h"

#include <charconv>
#include <cmath>
#include <cstdint>
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
        sqlite3_result_double(context, realOf(*sum) / static_cast<double>(sum->count));
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

} // namespace

void addExactSums(sqlite3* db) {
    define<false, false>(db, "sum");
    define<true, false>(db, "total");
    define<false, true>(db, "avg");
}

} // namespace vdata
