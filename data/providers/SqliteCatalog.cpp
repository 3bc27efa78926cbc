#include "data/providers/SqliteCatalog.h"

#include "data/providers/SqliteStatement.h"
#include "data/service/SqlKeywords.h"

#include <map>

namespace vdata {

namespace {

// Columns (kind 0: table, cid, name, pk position) and foreign-key columns
// (kind 1: table, key id, column, seq, referenced table, referenced column).
constexpr const char* catalogSql = R"(
WITH t AS (SELECT rowid AS r, name, type FROM sqlite_master
           WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\_%' ESCAPE '\')
SELECT 0, t.r, t.name, c.cid, c.name, c.pk, NULL, NULL
FROM t JOIN pragma_table_info(t.name) c
UNION ALL
SELECT 1, t.r, t.name, f.id, f."from", f.seq, f."table", f."to"
FROM t JOIN pragma_foreign_key_list(t.name) f WHERE t.type = 'table'
ORDER BY 1, 2, 4, 6)";

} // namespace

SchemaCatalog readSqliteCatalog(const SqliteApi& api, sqlite3* db) {
    SchemaCatalog catalog;
    catalog.functions = commonSqlFunctions();
    catalog.functions.insert(catalog.functions.end(),
                             {"DATE", "DATETIME", "GROUP_CONCAT", "IFNULL", "INSTR", "PRINTF",
                              "STRFTIME", "SUBSTR", "TYPEOF"});
    std::map<std::string, std::map<std::int64_t, std::string>> primaryKeys;
    std::map<std::pair<std::string, std::int64_t>, std::size_t> keyById;
    SqliteStatement stmt(api, db, catalogSql);
    while (stmt.step()) {
        const std::string table = stmt.column(2).toText();
        const std::string column = stmt.column(4).toText();
        if (stmt.column(0).i == 0) {
            if (catalog.tables.empty() || catalog.tables.back().name != table) {
                catalog.tables.push_back({table, {}});
            }
            catalog.tables.back().columns.push_back(column);
            if (stmt.column(5).i > 0) {
                primaryKeys[table][stmt.column(5).i] = column;
            }
            continue;
        }
        const auto [at, added] =
            keyById.try_emplace({table, stmt.column(3).i}, catalog.keys.size());
        if (added) {
            catalog.keys.push_back({{}, table, {}, stmt.column(6).toText(), {}});
        }
        ForeignKey& key = catalog.keys[at->second];
        key.columns.push_back(column);
        key.referencedColumns.push_back(stmt.column(7).toText());
    }
    for (ForeignKey& key : catalog.keys) {
        if (key.referencedColumns.front().empty()) {
            key.referencedColumns.clear();
            for (const auto& [position, column] : primaryKeys[key.referencedTable]) {
                key.referencedColumns.push_back(column);
            }
        }
    }
    catalog.buildIndex();
    return catalog;
}

} // namespace vdata
