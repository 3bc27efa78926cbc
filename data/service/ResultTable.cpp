#include "data/service/ResultTable.h"

#include "data/service/TableReferences.h"
#include "data/service/TextHelpers.h"

namespace vdata {

std::string editableTable(const std::vector<ColumnInfo>& columns) {
    if (columns.empty() || columns.front().table.empty()) {
        return {};
    }
    for (const ColumnInfo& c : columns) {
        if (c.table.empty() || c.column.empty() ||
            !equalsIgnoreCase(c.table, columns.front().table)) {
            return {};
        }
    }
    return columns.front().table;
}

std::string resultReadOnlyReason(Engine& engine, const std::vector<ColumnInfo>& columns,
                                 const std::string& statement) {
    const std::string table = editableTable(columns);
    if (table.empty()) {
        return "This result is read-only: its columns do not all come from one table.";
    }
    if (!statement.empty() && countTableReferences(statement, table) != 1) {
        return "This result is read-only: it does not read table " + table +
               " exactly once by its name (it joins the table with itself, or reads it through "
               "a view).";
    }
    try {
        return engine.readOnlyReason(columns, table);
    } catch (const DataError& e) {
        return e.what();
    }
}

std::string columnReadOnlyReason(const ColumnInfo& column) {
    if (!column.generated) {
        return {};
    }
    return "Column " + column.name + " is generated: the database computes its value from the " +
           "other columns of the row, so it cannot be changed.";
}

} // namespace vdata
