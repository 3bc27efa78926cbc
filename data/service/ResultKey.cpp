#include "data/service/ResultKey.h"

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

namespace vdata {

ResultKey::ResultKey(const std::string& tableName, std::vector<std::string> names,
                     const RowEdit& edit, bool namesFoldCase)
    : names_(std::move(names)) {
    if (names_.empty()) {
        throw DataError("Table \"" + tableName +
                            "\" has no primary key or unique index, so its rows are read-only",
                        ErrorKind::ReadOnly);
    }
    const auto same = [namesFoldCase](const std::string& a, const std::string& b) {
        return namesFoldCase ? equalsIgnoreCase(a, b) : a == b;
    };
    for (const std::string& name : names_) {
        int found = -1;
        for (std::size_t i = 0; i < edit.columns->size() && found < 0; ++i) {
            const ColumnInfo& c = (*edit.columns)[i];
            if (same(c.column, name) && same(c.table, edit.table)) {
                found = static_cast<int>(i);
            }
        }
        if (found < 0) {
            throw DataError("The result does not include the key column \"" + name +
                                "\" of table \"" + tableName + "\", so its rows are read-only",
                            ErrorKind::ReadOnly);
        }
        columns_.push_back(found);
    }
}

RowKey ResultKey::of(const std::vector<Value>& values) const {
    RowKey key;
    for (std::size_t k = 0; k < names_.size(); ++k) {
        const auto col = static_cast<std::size_t>(columns_[k]);
        key.add(names_[k], col < values.size() ? values[col] : Value::null());
    }
    return key;
}

} // namespace vdata
