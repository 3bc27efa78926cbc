#include "WriteBackSql.h"

#include "Enclose.h"
#include "TextHelpers.h"

namespace vdata {

std::string quoteIdentifier(const std::string& name) {
    return enclose(name, '"', '"');
}

std::string columnGoneText(const std::string& column, const std::string& table) {
    return "Column " + column + " no longer exists in table " + table +
           "; it was renamed or dropped since the rows were read. Refresh to see the table as it "
           "is now.";
}

WriteBackSql::WriteBackSql(const RowEdit& edit, std::function<std::string(int)> placeholder)
    : edit_(edit), placeholder_(std::move(placeholder)) {
    const auto& cols = *edit.columns;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i >= edit.changed.size() || !edit.changed[i]) {
            continue;
        }
        bool seen = false;
        for (std::size_t j : changed_) {
            seen = seen || equalsIgnoreCase(cols[j].column, cols[i].column);
        }
        if (!seen) {
            changed_.push_back(i);
        }
    }
}

std::vector<Value> WriteBackSql::changedValues() const {
    std::vector<Value> values;
    for (std::size_t i : changed_) {
        values.push_back(edit_.current[i]);
    }
    return values;
}

std::string WriteBackSql::update(const std::string& where) const {
    std::string sql = "UPDATE " + quoteIdentifier(edit_.table) + " SET ";
    for (std::size_t k = 0; k < changed_.size(); ++k) {
        sql += (k ? ", " : "") + quoteIdentifier((*edit_.columns)[changed_[k]].column) + " = " +
               placeholder_(static_cast<int>(k) + 1);
    }
    return sql + " WHERE " + where;
}

std::string WriteBackSql::insert() const {
    const std::string table = quoteIdentifier(edit_.table);
    if (changed_.empty()) {
        return "INSERT INTO " + table + " DEFAULT VALUES";
    }
    std::string names;
    std::string marks;
    for (std::size_t k = 0; k < changed_.size(); ++k) {
        names += (k ? ", " : "") + quoteIdentifier((*edit_.columns)[changed_[k]].column);
        marks += (k ? ", " : "") + placeholder_(static_cast<int>(k) + 1);
    }
    return "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
}

} // namespace vdata
