#include "data/service/RefusedByKey.h"

#include "data/service/Errors.h"
#include "data/service/ForeignKeyText.h"
#include "data/service/TextHelpers.h"

#include <algorithm>

namespace vdata {

namespace {

// The result column read from `column` of the edited table, or -1.
int resultColumn(const RowEdit& edit, const std::string& column) {
    for (std::size_t i = 0; i < edit.columns->size(); ++i) {
        const ColumnInfo& c = (*edit.columns)[i];
        if (equalsIgnoreCase(c.table, edit.table) && equalsIgnoreCase(c.column, column)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

bool takesReferencedValues(const RowEdit& edit, const ForeignKey& key) {
    if (std::find(edit.changed.begin(), edit.changed.end(), true) == edit.changed.end()) {
        return true;
    }
    for (const std::string& column : key.referencedColumns) {
        const int at = resultColumn(edit, column);
        if (at >= 0 && edit.changed[static_cast<std::size_t>(at)]) {
            return true;
        }
    }
    return false;
}

std::optional<std::vector<Value>> referencedValues(const RowEdit& edit, const ForeignKey& key) {
    std::vector<Value> values;
    for (const std::string& column : key.referencedColumns) {
        const int at = resultColumn(edit, column);
        if (at < 0) {
            return std::nullopt;
        }
        values.push_back(edit.original[static_cast<std::size_t>(at)]);
    }
    return values;
}

DataError withReferrers(const DataError& refused, const std::vector<ForeignKey>& referrers) {
    if (referrers.empty()) {
        return refused;
    }
    std::string names;
    for (const ForeignKey& key : referrers) {
        names += (names.empty() ? "" : ", ") + tableColumnsText(key.table, key.columns);
    }
    // The engine's message becomes a sentence of its own before the next.
    std::string text = refused.what();
    if (!text.empty() && text.back() > '.') {
        text += '.';
    }
    return DataError(text + "\nThe row is still referred to by " + names + ".", refused.kind(),
                     refused.nativeCode());
}

} // namespace vdata
