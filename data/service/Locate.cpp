#include "data/service/Locate.h"

#include "data/service/DecimalText.h"
#include "data/service/Errors.h"
#include "data/service/NumberCell.h"
#include "data/service/Progress.h"
#include "data/service/TextFold.h"
#include "data/service/TextHelpers.h"

namespace vdata {
namespace {

bool isDigits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// hh:mm or hh:mm:ss
bool isTimeText(std::string_view s) {
    return (s.size() == 5 || (s.size() == 8 && s[5] == ':' && isDigits(s.substr(6, 2)))) &&
           isDigits(s.substr(0, 2)) && s[2] == ':' && isDigits(s.substr(3, 2));
}

// yyyy-MM-dd, optionally followed by " " and a time for date-times.
bool isDateText(std::string_view s) {
    const bool date = s.size() >= 10 && isDigits(s.substr(0, 4)) && s[4] == '-' &&
                      isDigits(s.substr(5, 2)) && s[7] == '-' && isDigits(s.substr(8, 2));
    return date && (s.size() == 10 || (s[10] == ' ' && isTimeText(s.substr(11))));
}

// The display rows in the order a search looks at them: from `start.from`
// on in its direction, then around the other end.
template <class Visit> int walkShown(std::size_t count, LocateStart start, Visit visit) {
    const auto n = static_cast<long long>(count);
    const long long step = start.backward ? -1 : 1;
    const long long first = n == 0 ? 0 : ((start.from % n) + n) % n;
    for (long long i = 0; i < n; ++i) {
        const auto r = static_cast<std::size_t>((first + step * i + n) % n);
        if (visit(r)) {
            return static_cast<int>(r);
        }
    }
    return -1;
}

// The display position of the first row shown, from `start` on, that
// matches. Rows in storage order are matched as they are shown; sorted ones
// are scanned as they are stored, which reads memory in sequence, and the
// hits are then walked in the display order.
template <class Match>
int firstShown(const Snapshot& rows, const DisplayRows& order, LocateStart start, Match match) {
    std::size_t looked = 0;
    auto matchCounted = [&](std::size_t p) {
        if (++looked % progressStep == 0) {
            checkProgress(looked);
        }
        return match(p);
    };
    if (order.inStorageOrder()) {
        return walkShown(order.size(), start, matchCounted);
    }
    std::vector<bool> hit(rows.rowCount());
    for (std::size_t p = 0; p < rows.rowCount(); ++p) {
        hit[p] = matchCounted(p);
    }
    return walkShown(order.size(), start, [&](std::size_t r) { return hit[order[r]]; });
}

// Whether `text` holds `wanted` anywhere, letter case folded when asked
// (`wanted` is then folded already).
bool containsText(std::string_view text, const std::string& wanted, bool caseInsensitive) {
    return caseInsensitive ? containsFolded(text, wanted)
                           : text.find(wanted) != std::string_view::npos;
}

// Numbers match by the value they show (see compareNumberCell).
int findNumber(const Snapshot& rows, const DisplayRows& order, LocateStart start, std::size_t col,
               const std::string& wanted) {
    return firstShown(rows, order, start,
                      [&](std::size_t p) { return compareNumberCell(rows, p, col, wanted) == 0; });
}

int findInteger(const Snapshot& rows, const DisplayRows& order, LocateStart start, std::size_t col,
                std::int64_t wanted) {
    const std::string text = std::to_string(wanted);
    return firstShown(rows, order, start, [&](std::size_t p) {
        const Value::Kind k = rows.kind(p, col);
        return (k == Value::Kind::Int && rows.intAt(p, col) == wanted) ||
               (k == Value::Kind::Real && compareNumberCell(rows, p, col, text) == 0) ||
               (k == Value::Kind::Text && rows.bytesAt(p, col) == text);
    });
}

// Dates and times match by equality; a date-only term also matches a
// date-time at midnight.
int findTemporal(const Snapshot& rows, const DisplayRows& order, LocateStart start, std::size_t col,
                 const std::string& term) {
    const std::string midnight = term + " 00:00:00";
    return firstShown(rows, order, start, [&](std::size_t p) {
        if (rows.kind(p, col) != Value::Kind::Text) {
            return false;
        }
        const std::string_view v = rows.bytesAt(p, col);
        return v == term || v == midnight;
    });
}

int findText(const Snapshot& rows, const DisplayRows& order, LocateStart start, std::size_t col,
             const std::string& term, const LocateOptions& options) {
    const bool caseInsensitive = options.caseInsensitive;
    const bool partial = options.partialKey;
    const std::string wanted = caseInsensitive ? foldCase(term) : term;
    std::string buffer;
    return firstShown(rows, order, start, [&](std::size_t p) {
        const Value::Kind k = rows.kind(p, col);
        if (k == Value::Kind::Null || k == Value::Kind::Blob) {
            return false; // NULL is no value, not even an empty one
        }
        std::string_view v;
        if (k == Value::Kind::Text) {
            v = rows.bytesAt(p, col);
        } else {
            buffer = rows.value(p, col).toText();
            v = buffer;
        }
        if (options.anywhere) {
            return containsText(v, wanted, caseInsensitive);
        }
        if (wanted.empty()) {
            return v.empty();
        }
        if (caseInsensitive) {
            return matchesFolded(v, wanted, !partial);
        }
        return partial ? v.starts_with(wanted) : v == wanted;
    });
}

[[noreturn]] void cannotCompare(const std::string& term, const char* what) {
    throw DataError("'" + term + "' is not a valid " + what + "; the search cannot be made.");
}

} // namespace

int locateRow(const Snapshot& rows, const DisplayRows& order, std::size_t column, FieldType type,
              const std::string& term, const LocateOptions& options, LocateStart start) {
    const bool isText =
        type == FieldType::WideString || type == FieldType::Memo || type == FieldType::Unknown;
    if (options.anywhere && !isText) {
        throw DataError("Only text columns can be searched for a part of their value.");
    }
    switch (type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
    case FieldType::LargeInt: {
        std::int64_t v = 0;
        if (!parseInt(term, v)) {
            cannotCompare(term, "integer");
        }
        return findInteger(rows, order, start, column, v);
    }
    case FieldType::Float:
    case FieldType::Decimal: {
        const std::optional<std::string> number = typedDecimalText(term);
        if (!number) {
            cannotCompare(term, "number");
        }
        return findNumber(rows, order, start, column, *number);
    }
    case FieldType::Boolean: {
        std::int64_t v = 0;
        if (!parseInt(term, v) || (v != 0 && v != 1)) {
            cannotCompare(term, "Boolean value (0 or 1)");
        }
        return findInteger(rows, order, start, column, v);
    }
    case FieldType::Date:
    case FieldType::DateTime:
        if (!isDateText(term)) {
            cannotCompare(term, "date (yyyy-MM-dd)");
        }
        return findTemporal(rows, order, start, column, term);
    case FieldType::Time:
        if (!isTimeText(term)) {
            cannotCompare(term, "time (hh:mm:ss)");
        }
        return findTemporal(rows, order, start, column, term);
    case FieldType::Bytes:
        throw DataError("Binary fields cannot be searched.");
    default:
        return findText(rows, order, start, column, term, options);
    }
}

} // namespace vdata
