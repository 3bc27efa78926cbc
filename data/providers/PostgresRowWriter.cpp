#include "data/providers/PostgresRowWriter.h"

#include "data/service/Errors.h"

namespace vdata {

namespace {

// Types without an equality of their own (json, xml, ...) compare as text.
std::string comparable(const std::string& operand, FieldType type) {
    const bool asText =
        type == FieldType::WideString || type == FieldType::Memo || type == FieldType::Unknown;
    return asText ? operand + "::text" : operand;
}

WriteBackDialect postgresDialect(const PgTableInfo& table) {
    WriteBackDialect d;
    d.placeholder = [](int n) { return "$" + std::to_string(n); };
    d.table = table.sqlName;
    d.comparable = comparable;
    d.returning = true;
    return d;
}

RowKey primaryKey(const PgTableInfo& table, const RowEdit& edit) {
    if (table.primaryKey.empty()) {
        throw DataError("Table \"" + table.name +
                            "\" has no primary key, so its rows are read-only",
                        ErrorKind::ReadOnly);
    }
    RowKey key;
    for (const std::string& name : table.primaryKey) {
        std::size_t found = edit.columns->size();
        for (std::size_t i = 0; i < edit.columns->size() && found == edit.columns->size(); ++i) {
            const ColumnInfo& c = (*edit.columns)[i];
            found = c.table == edit.table && c.column == name ? i : found;
        }
        if (found == edit.columns->size()) {
            throw DataError("The result does not include the primary key column \"" + name +
                                "\" of table \"" + table.name + "\", so its rows are read-only",
                            ErrorKind::ReadOnly);
        }
        key.add(name, found < edit.original.size() ? edit.original[found] : Value::null());
    }
    return key;
}

} // namespace

PostgresRowWriter::PostgresRowWriter(const PgTableInfo& table, const RowEdit& edit)
    : sql_(edit, postgresDialect(table)), key_(primaryKey(table, edit)) {}

WriteStatement PostgresRowWriter::update() const {
    return sql_.hasChanges() ? sql_.update(sql_.withUnchanged(key_)) : sql_.select(key_);
}

} // namespace vdata
