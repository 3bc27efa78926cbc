#include "data/providers/OdbcRowWriter.h"

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

namespace vdata {

namespace {

WriteBackDialect odbcDialect(const OdbcSession& session, const OdbcTableInfo& table) {
    WriteBackDialect d;
    d.placeholder = [](int) { return std::string("?"); };
    d.table = session.quoted(table.name);
    d.namesFoldCase = session.info().namesFoldCase;
    d.quote = [&session](const std::string& name) { return session.quoted(name); };
    return d;
}

} // namespace

OdbcRowWriter::OdbcRowWriter(const OdbcSession& session, const OdbcTableInfo& table,
                             const RowEdit& edit)
    : edit_(edit), sql_(edit, odbcDialect(session, table)), keyNames_(table.key) {
    if (keyNames_.empty()) {
        throw DataError("Table \"" + table.name +
                            "\" has no primary key or unique index, so its rows are read-only",
                        ErrorKind::ReadOnly);
    }
    const bool fold = session.info().namesFoldCase;
    for (const std::string& name : keyNames_) {
        int found = -1;
        for (std::size_t i = 0; i < edit.columns->size() && found < 0; ++i) {
            const ColumnInfo& c = (*edit.columns)[i];
            const bool same =
                fold ? equalsIgnoreCase(c.column, name) && equalsIgnoreCase(c.table, edit.table)
                     : c.column == name && c.table == edit.table;
            found = same ? static_cast<int>(i) : -1;
        }
        if (found < 0) {
            throw DataError("The result does not include the key column \"" + name +
                                "\" of table \"" + table.name + "\", so its rows are read-only",
                            ErrorKind::ReadOnly);
        }
        keyColumns_.push_back(found);
    }
}

RowKey OdbcRowWriter::keyOf(const std::vector<Value>& values) const {
    RowKey key;
    for (std::size_t k = 0; k < keyNames_.size(); ++k) {
        const auto col = static_cast<std::size_t>(keyColumns_[k]);
        key.add(keyNames_[k], col < values.size() ? values[col] : Value::null());
    }
    return key;
}

} // namespace vdata
