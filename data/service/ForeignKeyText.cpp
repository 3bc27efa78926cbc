#include "data/service/ForeignKeyText.h"

namespace vdata {

std::string tableColumnsText(const std::string& table, const std::vector<std::string>& columns) {
    std::string text = table + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        text += (i > 0 ? ", " : "") + columns[i];
    }
    return text + ")";
}

std::string foreignKeyText(const ForeignKey& key) {
    return tableColumnsText(key.table, key.columns) + " \u2192 " +
           tableColumnsText(key.referencedTable, key.referencedColumns);
}

} // namespace vdata
