#include "PostgresRowWriter.h"

#include "Errors.h"
#include "WriteBackSql.h"

#include <set>

namespace vdata {

namespace {

std::string placeholder(const std::vector<Value>& params) {
    return "$" + std::to_string(params.size());
}

} // namespace

PostgresRowWriter::PostgresRowWriter(const PgTableInfo& table, const RowEdit& edit)
    : table_(table), edit_(edit) {
    if (table.primaryKey.empty()) {
        throw DataError("Table \"" + table.name +
                            "\" has no primary key, so its rows are read-only",
                        ErrorKind::ReadOnly);
    }
    for (const std::string& key : table.primaryKey) {
        std::size_t found = edit.columns->size();
        for (std::size_t i = 0; i < edit.columns->size(); ++i) {
            if (isTableColumn(i) && (*edit.columns)[i].column == key) {
                found = i;
                break;
            }
        }
        if (found == edit.columns->size()) {
            throw DataError("The result does not include the primary key column \"" + key +
                                "\" of table \"" + table.name + "\", so its rows are read-only",
                            ErrorKind::ReadOnly);
        }
        keyColumns_.push_back(found);
    }
}

bool PostgresRowWriter::isTableColumn(std::size_t i) const {
    const ColumnInfo& c = (*edit_.columns)[i];
    return c.table == edit_.table && !c.column.empty();
}

std::string PostgresRowWriter::whereKey(std::vector<Value>& params) const {
    std::string sql = " WHERE ";
    for (std::size_t k = 0; k < keyColumns_.size(); ++k) {
        params.push_back(edit_.original.at(keyColumns_[k]));
        sql += (k > 0 ? " AND " : "") + quoteIdentifier(table_.primaryKey[k]) + " = " +
               placeholder(params);
    }
    return sql;
}

std::string PostgresRowWriter::returning(std::vector<std::size_t>& returned) const {
    std::string list;
    for (std::size_t i = 0; i < edit_.columns->size(); ++i) {
        if (isTableColumn(i)) {
            list += (list.empty() ? "" : ", ") + quoteIdentifier((*edit_.columns)[i].column);
            returned.push_back(i);
        }
    }
    return list;
}

PgWriteStatement PostgresRowWriter::update() const {
    PgWriteStatement s;
    std::string assignments;
    std::set<std::string> written; // a column shown twice is written once
    for (std::size_t i = 0; i < edit_.columns->size(); ++i) {
        if (isTableColumn(i) && edit_.changed.at(i) &&
            written.insert((*edit_.columns)[i].column).second) {
            s.params.push_back(edit_.current.at(i));
            assignments += (assignments.empty() ? "" : ", ") +
                           quoteIdentifier((*edit_.columns)[i].column) + " = " +
                           placeholder(s.params);
        }
    }
    if (assignments.empty()) {
        return select();
    }
    s.sql = "UPDATE " + table_.sqlName + " SET " + assignments + whereKey(s.params) +
            whereUnchanged(s.params) + " RETURNING " + returning(s.returned);
    return s;
}

// The columns being changed must still hold what was read, so that a change
// someone else made meanwhile is noticed, not overwritten. Types without an
// equality of their own (json, xml, ...) compare as text; binary values are
// not compared.
std::string PostgresRowWriter::whereUnchanged(std::vector<Value>& params) const {
    std::string sql;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < edit_.columns->size(); ++i) {
        const ColumnInfo& c = (*edit_.columns)[i];
        if (!isTableColumn(i) || !edit_.changed.at(i) || c.type == FieldType::Bytes ||
            !seen.insert(c.column).second) {
            continue;
        }
        params.push_back(edit_.original.at(i));
        const bool asText = c.type == FieldType::WideString || c.type == FieldType::Memo ||
                            c.type == FieldType::Unknown;
        sql += " AND " + quoteIdentifier(c.column) + (asText ? "::text" : "") +
               " IS NOT DISTINCT FROM " + placeholder(params) + (asText ? "::text" : "");
    }
    return sql;
}

PgWriteStatement PostgresRowWriter::insert() const {
    PgWriteStatement s;
    std::string columns;
    std::string values;
    std::set<std::string> written;
    for (std::size_t i = 0; i < edit_.columns->size(); ++i) {
        // Untouched empty cells are left to the column defaults.
        if (isTableColumn(i) && (edit_.changed.at(i) || !edit_.current.at(i).isNull()) &&
            written.insert((*edit_.columns)[i].column).second) {
            s.params.push_back(edit_.current.at(i));
            columns += (columns.empty() ? "" : ", ") + quoteIdentifier((*edit_.columns)[i].column);
            values += (values.empty() ? "" : ", ") + placeholder(s.params);
        }
    }
    s.sql = "INSERT INTO " + table_.sqlName +
            (columns.empty() ? " DEFAULT VALUES" : " (" + columns + ") VALUES (" + values + ")") +
            " RETURNING " + returning(s.returned);
    return s;
}

PgWriteStatement PostgresRowWriter::remove() const {
    PgWriteStatement s;
    s.sql = "DELETE FROM " + table_.sqlName + whereKey(s.params);
    return s;
}

PgWriteStatement PostgresRowWriter::select() const {
    PgWriteStatement s;
    const std::string list = returning(s.returned);
    s.sql = "SELECT " + list + " FROM " + table_.sqlName + whereKey(s.params);
    return s;
}

} // namespace vdata
