#include "data/service/ReferencedRows.h"

#include "data/service/Connection.h"
#include "data/service/Dialect.h"
#include "data/service/Query.h"

#include <map>

namespace vdata {

namespace {

// The result's column index of each name; none when one is missing.
std::optional<std::vector<int>> fieldIndexes(const Query& query,
                                             const std::vector<std::string>& columns) {
    std::vector<int> indexes;
    for (const std::string& name : columns) {
        const Field* field = query.findField(name);
        if (!field) {
            return std::nullopt;
        }
        indexes.push_back(field->index());
    }
    return indexes;
}

} // namespace

std::optional<std::vector<Value>> currentValues(const Query& query,
                                                const std::vector<std::string>& columns) {
    const std::optional<std::vector<int>> indexes = fieldIndexes(query, columns);
    if (!indexes || query.currentRow() < 0) {
        return std::nullopt;
    }
    std::vector<Value> values;
    for (const int index : *indexes) {
        values.push_back(query.currentValue(index));
    }
    return values;
}

bool rowExists(Connection& connection, const std::string& table,
               const std::vector<std::string>& columns, const std::vector<Value>& values) {
    std::string sql = "SELECT TOP 1 * FROM " + bracketName(table) + " WHERE ";
    std::map<std::string, Value> params;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string name = "p" + std::to_string(i + 1);
        sql += (i == 0 ? "" : " AND ") + bracketName(columns[i]) + " = :" + name;
        params.emplace(name, values[i]);
    }
    return connection.select(sql, params).rows.rowCount() > 0;
}

std::string missingRowText(const std::string& table, const std::vector<std::string>& columns,
                           const std::vector<Value>& values) {
    std::string text = table + " has no row with ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        text += (i == 0 ? "" : ", ") + columns[i] + ' ' + values[i].toText();
    }
    return text + '.';
}

int findRow(const Query& query, const std::vector<std::string>& columns,
            const std::vector<Value>& values) {
    const std::optional<std::vector<int>> indexes = fieldIndexes(query, columns);
    if (!indexes) {
        return -1;
    }
    std::vector<std::string> texts;
    for (const Value& value : values) {
        texts.push_back(value.toText());
    }
    for (int row = 0; row < query.displayRowCount(); ++row) {
        bool same = true;
        for (std::size_t i = 0; same && i < texts.size(); ++i) {
            same = !query.cell(row, (*indexes)[i]).isNull() &&
                   query.cellText(row, (*indexes)[i]) == texts[i];
        }
        if (same) {
            return row;
        }
    }
    return -1;
}

int findOrderedRow(const Query& query, const std::string& column, const Value& key) {
    const Field* field = query.findField(column);
    if (!field || key.kind != Value::Kind::Int || !query.sort().empty() ||
        !query.filter().empty() || query.state() != DataSetState::Browse) {
        return -1;
    }
    const int rows = query.displayRowCount();
    int low = 0;
    int high = rows;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const Value cell = query.cell(middle, field->index());
        if (cell.kind != Value::Kind::Int) {
            return -1;
        }
        if (cell.i < key.i) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < rows && query.cell(low, field->index()) == key ? low : -1;
}

} // namespace vdata
