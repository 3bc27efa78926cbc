#include "data/service/ForeignKeyRows.h"

#include <algorithm>
#include <map>
#include <utility>

namespace vdata {

std::vector<ForeignKey> groupForeignKeys(std::vector<ForeignKeyColumn> rows) {
    std::map<std::pair<std::string, std::string>, std::size_t> slotOf;
    std::vector<ForeignKey> keys;
    std::vector<std::pair<std::size_t, ForeignKeyColumn*>> placed;
    for (ForeignKeyColumn& row : rows) {
        const auto [at, added] = slotOf.try_emplace({row.table, row.keyName}, keys.size());
        if (added) {
            keys.push_back({row.keyName, row.table, {}, row.referencedTable, {}});
        }
        placed.emplace_back(at->second, &row);
    }
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first, a.second->position) < std::pair(b.first, b.second->position);
    });
    for (const auto& [slot, row] : placed) {
        keys[slot].columns.push_back(std::move(row->column));
        keys[slot].referencedColumns.push_back(std::move(row->referencedColumn));
    }
    return keys;
}

} // namespace vdata
