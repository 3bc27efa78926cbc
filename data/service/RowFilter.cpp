#include "data/service/RowFilter.h"

#include "data/service/DecimalText.h"
#include "data/service/Errors.h"
#include "data/service/TemporalText.h"
#include "data/service/TextFold.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <array>

namespace vdata {
namespace {

using Op = RowFilter::Op;
using Condition = RowFilter::Condition;

struct OpWord {
    std::string_view text;
    Op op;
};
// Longer spellings first, so that "<=" is not read as "<".
constexpr std::array opWords{OpWord{"is not null", Op::IsNotNull},
                             OpWord{"is null", Op::IsNull},
                             OpWord{"starts with", Op::StartsWith},
                             OpWord{"contains", Op::Contains},
                             OpWord{"<=", Op::LessEqual},
                             OpWord{">=", Op::GreaterEqual},
                             OpWord{"<>", Op::NotEqual},
                             OpWord{"!=", Op::NotEqual},
                             OpWord{"=", Op::Equal},
                             OpWord{"<", Op::Less},
                             OpWord{">", Op::Greater}};

const char* const grammar = "Write a column, then one of =, <>, <, >, <=, >=, contains, starts "
                            "with, is null, is not null, then a value; join conditions with "
                            "\"and\".";

[[noreturn]] void refuse(const std::string& what) {
    throw DataError(what + " " + grammar);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool startsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size() || !equalsIgnoreCase(s.substr(0, word.size()), word)) {
        return false;
    }
    const bool symbol = !std::isalpha(static_cast<unsigned char>(word.front()));
    return symbol || s.size() == word.size() ||
           !std::isalnum(static_cast<unsigned char>(s[word.size()]));
}

// The conditions of the text, split at each "and" that stands outside
// quotes and brackets.
std::vector<std::string_view> splitAtAnd(std::string_view text) {
    std::vector<std::string_view> parts;
    char closing = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (closing) {
            closing = c == closing ? 0 : closing;
        } else if (c == '\'' || c == '"' || c == '[') {
            closing = c == '[' ? ']' : c;
        } else if (isBlank(c) && startsWithWord(text.substr(i + 1), "and") &&
                   (i + 4 >= text.size() || isBlank(text[i + 4]))) {
            parts.push_back(text.substr(start, i - start));
            start = i + 4;
            i += 3;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// The column a condition starts with and the text after it: a name in [ ]
// or " ", else the longest column name followed by a blank or an operator.
std::size_t readColumn(std::string_view& s, const std::vector<ColumnInfo>& columns) {
    std::string_view name;
    std::size_t length = 0;
    if (!s.empty() && (s[0] == '[' || s[0] == '"')) {
        const std::size_t end = s.find(s[0] == '[' ? ']' : '"', 1);
        name = s.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
        length = end == std::string_view::npos ? s.size() : end + 1;
    } else {
        for (const ColumnInfo& c : columns) {
            const std::string_view after = s.substr(std::min(s.size(), c.name.size()));
            const bool ends = after.empty() || isBlank(after[0]) ||
                              std::string_view("<>=!").find(after[0]) != std::string_view::npos;
            if (c.name.size() > length && c.name.size() <= s.size() &&
                equalsIgnoreCase(s.substr(0, c.name.size()), c.name) && ends) {
                length = c.name.size();
                name = s.substr(0, length);
            }
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (length > 0 && equalsIgnoreCase(columns[i].name, name)) {
            s = trimmed(s.substr(length));
            return i;
        }
    }
    const std::string_view word = s.substr(0, s.find_first_of(" \t<>=!"));
    refuse("The result has no column \"" + std::string(word) + "\" to filter on.");
}

Op readOp(std::string_view& s, std::string_view condition) {
    for (const OpWord& w : opWords) {
        if (startsWithWord(s, w.text)) {
            s = trimmed(s.substr(w.text.size()));
            return w.op;
        }
    }
    refuse("\"" + std::string(condition) + "\" is not a condition.");
}

std::string unquoted(std::string_view s) {
    if (s.size() >= 2 && (s[0] == '\'' || s[0] == '"') && s.back() == s[0]) {
        return std::string(s.substr(1, s.size() - 2));
    }
    return std::string(s);
}

bool isNumeric(FieldType type) {
    return isIntegerType(type) || type == FieldType::Float || type == FieldType::Decimal ||
           type == FieldType::Boolean;
}

bool isTemporal(FieldType type) {
    return type == FieldType::Date || type == FieldType::DateTime || type == FieldType::Time;
}

// The term as the column's values are compared with it.
void setTerm(Condition& c, std::string value) {
    if (c.op == Op::Contains || c.op == Op::StartsWith) {
        c.term = foldCase(value);
    } else if (isNumeric(c.type)) {
        const std::optional<std::string> number = typedDecimalText(value);
        if (!number) {
            throw DataError("'" + value + "' is not a valid number; the filter cannot be applied.");
        }
        c.term = *number;
        c.integerTerm = parseInt(c.term, c.integer);
    } else if (isTemporal(c.type)) {
        c.term = temporalValueText(c.type, value);
    } else {
        c.term = std::move(value);
    }
}

Condition readCondition(std::string_view text, const std::vector<ColumnInfo>& columns) {
    std::string_view s = trimmed(text);
    if (s.empty()) {
        refuse("A condition is missing.");
    }
    Condition c;
    c.column = readColumn(s, columns);
    c.type = columns[c.column].type;
    c.op = readOp(s, trimmed(text));
    const bool takesValue = c.op != Op::IsNull && c.op != Op::IsNotNull;
    if (takesValue == s.empty()) {
        refuse("\"" + std::string(trimmed(text)) + "\" " +
               (takesValue ? "has no value." : "takes no value."));
    }
    if (takesValue) {
        setTerm(c, unquoted(s));
    }
    return c;
}

bool holds(Op op, int order) {
    switch (op) {
    case Op::Equal:
        return order == 0;
    case Op::NotEqual:
        return order != 0;
    case Op::Less:
        return order < 0;
    case Op::Greater:
        return order > 0;
    case Op::LessEqual:
        return order <= 0;
    case Op::GreaterEqual:
        return order >= 0;
    default:
        return false;
    }
}

// A number of the row against the condition's: <0, 0, >0; nullopt for a
// value that is no number.
std::optional<int> compareNumber(const Snapshot& rows, std::uint32_t row, const Condition& c) {
    switch (rows.kind(row, c.column)) {
    case Value::Kind::Int: {
        const std::int64_t i = rows.intAt(row, c.column);
        if (c.integerTerm) {
            return i < c.integer ? -1 : i > c.integer ? 1 : 0;
        }
        return compareDecimalText(std::to_string(i), c.term);
    }
    case Value::Kind::Real:
        return compareDecimalText(exactDecimalText(rows.realAt(row, c.column)), c.term);
    case Value::Kind::Text: {
        const std::string_view text = rows.bytesAt(row, c.column);
        if (!isDecimalText(text)) {
            return std::nullopt;
        }
        return compareDecimalText(text, c.term);
    }
    default:
        return std::nullopt;
    }
}

std::optional<int> compareValue(const Snapshot& rows, std::uint32_t row, const Condition& c) {
    if (isNumeric(c.type)) {
        return compareNumber(rows, row, c);
    }
    if (rows.kind(row, c.column) != Value::Kind::Text) {
        return std::nullopt;
    }
    const std::string_view text = rows.bytesAt(row, c.column);
    if (c.type == FieldType::DateTime && text.size() == 10) {
        return std::string(text).append(" 00:00:00").compare(c.term);
    }
    if (isTemporal(c.type)) {
        return text.compare(c.term);
    }
    return compareCollated(text, c.term);
}

bool matchesText(const Snapshot& rows, std::uint32_t row, const Condition& c) {
    const Value::Kind kind = rows.kind(row, c.column);
    if (kind == Value::Kind::Null || kind == Value::Kind::Blob) {
        return false;
    }
    const std::string shown =
        kind == Value::Kind::Text ? std::string() : rows.value(row, c.column).toText();
    const std::string_view text = kind == Value::Kind::Text ? rows.bytesAt(row, c.column) : shown;
    return c.op == Op::StartsWith ? matchesFolded(text, c.term, false)
                                  : containsFolded(text, c.term);
}

bool meets(const Snapshot& rows, std::uint32_t row, const Condition& c) {
    const bool isNull = rows.kind(row, c.column) == Value::Kind::Null;
    switch (c.op) {
    case Op::IsNull:
        return isNull;
    case Op::IsNotNull:
        return !isNull;
    case Op::Contains:
    case Op::StartsWith:
        return matchesText(rows, row, c);
    default:
        break;
    }
    if (isNull) {
        return false;
    }
    const std::optional<int> order = compareValue(rows, row, c);
    return order && holds(c.op, *order);
}

} // namespace

RowFilter::RowFilter(const std::string& text, const std::vector<ColumnInfo>& columns) {
    for (std::string_view part : splitAtAnd(text)) {
        conditions_.push_back(readCondition(part, columns));
    }
}

bool RowFilter::matches(const Snapshot& rows, std::uint32_t row) const {
    return std::all_of(conditions_.begin(), conditions_.end(),
                       [&](const Condition& c) { return meets(rows, row, c); });
}

} // namespace vdata
