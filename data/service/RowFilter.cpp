#include "data/service/RowFilter.h"

#include "data/service/NumberCell.h"
#include "data/service/TextFold.h"

#include <algorithm>

namespace vdata {
namespace {

using Op = FilterOp;
using Condition = FilterCondition;

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
    if (c.integerTerm && rows.kind(row, c.column) == Value::Kind::Int) {
        const std::int64_t i = rows.intAt(row, c.column);
        return i < c.integer ? -1 : i > c.integer ? 1 : 0;
    }
    return compareNumberCell(rows, row, c.column, c.term);
}

std::optional<int> compareValue(const Snapshot& rows, std::uint32_t row, const Condition& c) {
    if (filtersAsNumber(c.type)) {
        return compareNumber(rows, row, c);
    }
    if (rows.kind(row, c.column) != Value::Kind::Text) {
        return std::nullopt;
    }
    const std::string_view text = rows.bytesAt(row, c.column);
    if (c.type == FieldType::DateTime && text.size() == 10) {
        return std::string(text).append(" 00:00:00").compare(c.term);
    }
    if (filtersAsTime(c.type)) {
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

bool matchesNode(const Snapshot& rows, std::uint32_t row, const FilterNode& node) {
    const auto holdsFor = [&](const FilterNode& part) { return matchesNode(rows, row, part); };
    switch (node.join) {
    case FilterNode::Join::And:
        return std::all_of(node.parts.begin(), node.parts.end(), holdsFor);
    case FilterNode::Join::Or:
        return std::any_of(node.parts.begin(), node.parts.end(), holdsFor);
    case FilterNode::Join::None:
        break;
    }
    return meets(rows, row, node.condition);
}

} // namespace

RowFilter::RowFilter(const std::string& text, const std::vector<ColumnInfo>& columns)
    : root_(parseFilter(text, columns)) {}

bool RowFilter::matches(const Snapshot& rows, std::uint32_t row) const {
    return matchesNode(rows, row, root_);
}

} // namespace vdata
