#include "data/service/WriteBackSql.h"

#include "data/service/Enclose.h"
#include "data/service/TextHelpers.h"

namespace vdata {

std::string quoteIdentifier(const std::string& name) {
    return enclose(name, '"', '"');
}

std::string columnGoneText(const std::string& column, const std::string& table) {
    return "Column " + column + " no longer exists in table " + table +
           "; it was renamed or dropped since the rows were read. Refresh to see the table as it "
           "is now.";
}

std::string rowGoneText(const std::string& table) {
    return "The row of " + table +
           " was changed or deleted by another user since it was read; nothing was written. "
           "Cancel your change to see the current data.";
}

WriteBackSql::WriteBackSql(const RowEdit& edit, WriteBackDialect dialect)
    : edit_(edit), dialect_(std::move(dialect)) {
    changed_ = distinctColumns(edit.changed);
}

bool WriteBackSql::sameName(const std::string& a, const std::string& b) const {
    return dialect_.namesFoldCase ? equalsIgnoreCase(a, b) : a == b;
}

std::string WriteBackSql::quoted(const std::string& column) const {
    return dialect_.quote ? dialect_.quote(column) : quoteIdentifier(column);
}

bool WriteBackSql::isTableColumn(std::size_t i) const {
    const ColumnInfo& c = (*edit_.columns)[i];
    return !c.column.empty() && sameName(c.table, edit_.table);
}

// The table columns of the result whose flag is set, a column shown twice
// taken once; generated columns are left to the database.
std::vector<std::size_t> WriteBackSql::distinctColumns(const std::vector<bool>& wanted) const {
    const auto& cols = *edit_.columns;
    std::vector<std::size_t> picked;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i >= wanted.size() || !wanted[i] || !isTableColumn(i) || cols[i].generated) {
            continue;
        }
        bool seen = false;
        for (std::size_t j : picked) {
            seen = seen || sameName(cols[j].column, cols[i].column);
        }
        if (!seen) {
            picked.push_back(i);
        }
    }
    return picked;
}

RowKey WriteBackSql::withUnchanged(RowKey key) const {
    for (std::size_t i : changed_) {
        const ColumnInfo& c = (*edit_.columns)[i];
        bool inKey = false;
        for (const RowKey::Part& part : key.parts) {
            inKey = inKey || sameName(part.column, c.column);
        }
        if (!inKey) {
            key.add(c.column, edit_.original.at(i), c.type);
        }
    }
    return key;
}

std::string WriteBackSql::mark(const std::vector<Value>& params) const {
    return dialect_.placeholder(static_cast<int>(params.size()));
}

// NULL is matched with IS NULL, every other value with "=", which is
// null-safe then and lets the engine use an index on the key.
std::string WriteBackSql::where(const RowKey& key, std::vector<Value>& params) const {
    std::string sql;
    for (const RowKey::Part& part : key.parts) {
        sql += sql.empty() ? " WHERE " : " AND ";
        std::string column = quoted(part.column);
        if (part.value.isNull()) {
            sql += column + " IS NULL";
            continue;
        }
        params.push_back(part.value);
        std::string value = mark(params);
        if (part.asRead && dialect_.comparable) {
            column = dialect_.comparable(column, *part.asRead);
            value = dialect_.comparable(value, *part.asRead);
        }
        sql += column + " = " + value;
    }
    return sql;
}

// The result's table columns as a select list, and which result column each is.
std::string WriteBackSql::tableColumns(std::vector<std::size_t>& read) const {
    std::string list;
    for (std::size_t i = 0; i < edit_.columns->size(); ++i) {
        if (isTableColumn(i)) {
            list += (list.empty() ? "" : ", ") + quoted((*edit_.columns)[i].column);
            read.push_back(i);
        }
    }
    return list;
}

void WriteBackSql::addReturning(WriteStatement& s) const {
    if (dialect_.returning) {
        s.sql += " RETURNING " + tableColumns(s.returned);
    }
}

WriteStatement WriteBackSql::update(const RowKey& key) const {
    WriteStatement s;
    std::string assignments;
    for (std::size_t i : changed_) {
        s.params.push_back(edit_.current.at(i));
        assignments += (assignments.empty() ? "" : ", ") + quoted((*edit_.columns)[i].column) +
                       " = " + mark(s.params);
    }
    s.sql = "UPDATE " + dialect_.table + " SET " + assignments + where(key, s.params);
    addReturning(s);
    return s;
}

WriteStatement WriteBackSql::insert() const {
    std::vector<bool> filled(edit_.columns->size());
    for (std::size_t i = 0; i < filled.size(); ++i) {
        filled[i] = (i < edit_.changed.size() && edit_.changed[i]) || !edit_.current.at(i).isNull();
    }
    WriteStatement s;
    std::string names;
    std::string marks;
    for (std::size_t i : distinctColumns(filled)) {
        s.params.push_back(edit_.current.at(i));
        names += (names.empty() ? "" : ", ") + quoted((*edit_.columns)[i].column);
        marks += (marks.empty() ? "" : ", ") + mark(s.params);
    }
    s.sql = "INSERT INTO " + dialect_.table +
            (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
    addReturning(s);
    return s;
}

WriteStatement WriteBackSql::remove(const RowKey& key) const {
    WriteStatement s;
    s.sql = "DELETE FROM " + dialect_.table + where(key, s.params);
    return s;
}

WriteStatement WriteBackSql::select(const RowKey& key, const std::string& column) const {
    WriteStatement s;
    const std::string list = column.empty() ? tableColumns(s.returned) : quoted(column);
    s.sql = "SELECT " + list + " FROM " + dialect_.table + where(key, s.params);
    return s;
}

} // namespace vdata
