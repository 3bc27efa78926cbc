#include "data/providers/MariaDbCatalog.h"

#include "data/providers/MariaDbStatement.h"
#include "data/service/ForeignKeyRows.h"

namespace vdata::mariadbcatalog {

namespace {

std::vector<std::string> firstColumn(const Snapshot& rows) {
    std::vector<std::string> values;
    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        values.push_back(rows.value(r, 0).toText());
    }
    return values;
}

std::string text(const Snapshot& rows, std::size_t r, std::size_t c) {
    return rows.value(r, c).toText();
}

constexpr const char* foreignKeysSql =
    "SELECT k.CONSTRAINT_NAME, k.TABLE_NAME, k.COLUMN_NAME, k.REFERENCED_TABLE_NAME, "
    "k.REFERENCED_COLUMN_NAME, k.ORDINAL_POSITION FROM information_schema.KEY_COLUMN_USAGE k "
    "WHERE k.TABLE_SCHEMA = DATABASE() AND k.REFERENCED_TABLE_SCHEMA = DATABASE() "
    "AND k.REFERENCED_TABLE_NAME IS NOT NULL AND (? = '' OR (? = 0 AND k.TABLE_NAME = ?) "
    "OR (? = 1 AND k.REFERENCED_TABLE_NAME = ?)) "
    "ORDER BY k.TABLE_NAME, k.CONSTRAINT_NAME, k.ORDINAL_POSITION";

} // namespace

std::vector<std::string> tableNames(const MariaDbSession& s, MYSQL* mysql) {
    return firstColumn(selectRows(s, mysql,
                                  "SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                                  "TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME"));
}

std::vector<std::string> databaseNames(const MariaDbSession& s, MYSQL* mysql) {
    return firstColumn(selectRows(s, mysql,
                                  "SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE "
                                  "SCHEMA_NAME NOT IN ('information_schema', 'mysql', "
                                  "'performance_schema', 'sys') ORDER BY SCHEMA_NAME"));
}

MariaDbTableInfo table(const MariaDbSession& s, MYSQL* mysql, const std::string& name) {
    const Snapshot columns =
        selectRows(s, mysql,
                   "SELECT COLUMN_NAME, EXTRA, IS_NULLABLE FROM information_schema.COLUMNS WHERE "
                   "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ? ORDER BY ORDINAL_POSITION",
                   {Value::text(name)});
    if (columns.rowCount() == 0) {
        throw DataError("Table \"" + name + "\" was not found");
    }
    MariaDbTableInfo info;
    info.name = name;
    for (std::size_t r = 0; r < columns.rowCount(); ++r) {
        const std::string column = text(columns, r, 0);
        const std::string extra = text(columns, r, 1);
        info.columns.push_back(column);
        if (extra.find("GENERATED") != std::string::npos || extra == "VIRTUAL" ||
            extra == "PERSISTENT" || extra == "STORED") {
            info.generated.push_back(column);
        }
        if (extra.find("auto_increment") != std::string::npos) {
            info.autoIncrement = column;
        }
    }
    // The primary key sorts first; then unique indexes none of whose
    // columns may be NULL.
    const Snapshot keys =
        selectRows(s, mysql,
                   "SELECT st.INDEX_NAME, st.COLUMN_NAME FROM information_schema.STATISTICS st "
                   "WHERE st.TABLE_SCHEMA = DATABASE() AND st.TABLE_NAME = ? AND st.NON_UNIQUE = 0 "
                   "AND NOT EXISTS (SELECT 1 FROM information_schema.STATISTICS n WHERE "
                   "n.TABLE_SCHEMA = st.TABLE_SCHEMA AND n.TABLE_NAME = st.TABLE_NAME AND "
                   "n.INDEX_NAME = st.INDEX_NAME AND n.NULLABLE = 'YES') "
                   "ORDER BY st.INDEX_NAME <> 'PRIMARY', st.INDEX_NAME, st.SEQ_IN_INDEX",
                   {Value::text(name)});
    for (std::size_t r = 0; r < keys.rowCount() && text(keys, r, 0) == text(keys, 0, 0); ++r) {
        info.key.push_back(text(keys, r, 1));
    }
    return info;
}

std::vector<ForeignKey> foreignKeys(const MariaDbSession& s, MYSQL* mysql, const std::string& table,
                                    bool referencing) {
    const Value name = Value::text(table);
    const Value which = Value::integer(referencing ? 1 : 0);
    const Snapshot rows = selectRows(s, mysql, foreignKeysSql, {name, which, name, which, name});
    std::vector<ForeignKeyColumn> columns;
    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        columns.push_back({text(rows, r, 0), text(rows, r, 1), text(rows, r, 2), text(rows, r, 3),
                           text(rows, r, 4), rows.value(r, 5).i});
    }
    return groupForeignKeys(std::move(columns));
}

std::vector<SchemaCatalog::Table> listedColumns(const MariaDbSession& s, MYSQL* mysql) {
    const Snapshot rows =
        selectRows(s, mysql,
                   "SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.COLUMNS WHERE "
                   "TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME, ORDINAL_POSITION");
    std::vector<SchemaCatalog::Table> tables;
    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        const std::string table = text(rows, r, 0);
        if (tables.empty() || tables.back().name != table) {
            tables.push_back({table, {}});
        }
        tables.back().columns.push_back(text(rows, r, 1));
    }
    return tables;
}

} // namespace vdata::mariadbcatalog
