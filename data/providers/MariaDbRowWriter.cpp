#include "data/providers/MariaDbRowWriter.h"

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

namespace vdata {

namespace {

WriteBackDialect mariaDbDialect(const MariaDbTableInfo& table) {
    WriteBackDialect d;
    d.placeholder = [](int) { return std::string("?"); };
    d.table = backtickQuoted(table.name);
    d.namesFoldCase = true; // column names compare without regard to case
    d.quote = backtickQuoted;
    // The server compares a FLOAT with a double in single precision, so
    // 0.1 read back would never equal 0.1 sent; both sides compare as the
    // server prints them.
    d.comparable = [](const std::string& operand, FieldType type) {
        return type == FieldType::Float ? "CAST(" + operand + " AS CHAR)" : operand;
    };
    return d;
}

} // namespace

std::string backtickQuoted(const std::string& name) {
    std::string out = "`";
    for (const char c : name) {
        out += c;
        if (c == '`') {
            out += '`';
        }
    }
    return out + "`";
}

MariaDbRowWriter::MariaDbRowWriter(const MariaDbTableInfo& table, const RowEdit& edit)
    : edit_(edit), sql_(edit, mariaDbDialect(table)), keyNames_(table.key) {
    if (keyNames_.empty()) {
        throw DataError("Table \"" + table.name +
                            "\" has no primary key or unique index, so its rows are read-only",
                        ErrorKind::ReadOnly);
    }
    for (const std::string& name : keyNames_) {
        int found = -1;
        for (std::size_t i = 0; i < edit.columns->size() && found < 0; ++i) {
            const ColumnInfo& c = (*edit.columns)[i];
            if (equalsIgnoreCase(c.column, name) && equalsIgnoreCase(c.table, edit.table)) {
                found = static_cast<int>(i);
            }
        }
        if (found < 0) {
            throw DataError("The result does not include the key column \"" + name +
                                "\" of table \"" + table.name + "\", so its rows are read-only",
                            ErrorKind::ReadOnly);
        }
        keyColumns_.push_back(found);
    }
}

RowKey MariaDbRowWriter::keyOf(const std::vector<Value>& values) const {
    RowKey key;
    for (std::size_t k = 0; k < keyNames_.size(); ++k) {
        const auto col = static_cast<std::size_t>(keyColumns_[k]);
        key.add(keyNames_[k], col < values.size() ? values[col] : Value::null());
    }
    return key;
}

} // namespace vdata
