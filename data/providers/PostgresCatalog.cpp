#include "data/providers/PostgresCatalog.h"

#include "data/providers/PostgresResult.h"
#include "data/service/Errors.h"
#include "data/service/ForeignKeyRows.h"
#include "data/service/WriteBackSql.h"

#include <cstdlib>

namespace vdata {

namespace {

// One row per column of each table asked for.
constexpr const char* tableColumnsSql = R"(
SELECT c.oid, n.nspname, c.relname, pg_catalog.pg_table_is_visible(c.oid),
       a.attnum, a.attname,
       a.attidentity <> '' OR COALESCE(pg_catalog.pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false),
       EXISTS (SELECT 1 FROM pg_catalog.pg_index i
               WHERE i.indrelid = c.oid AND i.indisprimary AND a.attnum = ANY (i.indkey)),
       a.attgenerated <> ''
FROM pg_catalog.pg_class c
JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
LEFT JOIN pg_catalog.pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum
WHERE c.oid = ANY ($1::pg_catalog.oid[])
ORDER BY c.oid, a.attnum)";

// Tables, partitioned tables, views, materialized views and foreign tables
// that the search path reaches (results name them without a schema), system
// schemas excluded, ordered by schema and name.
constexpr const char* tableNamesSql = R"(
SELECT c.relname
FROM pg_catalog.pg_class c
JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f')
  AND n.nspname <> 'information_schema' AND n.nspname NOT LIKE 'pg\_%'
  AND pg_catalog.pg_table_is_visible(c.oid)
ORDER BY n.nspname, c.relname)";

// Databases this login may open, templates excluded, by name.
constexpr const char* databaseNamesSql = R"(
SELECT datname FROM pg_catalog.pg_database
WHERE datallowconn AND NOT datistemplate
  AND pg_catalog.has_database_privilege(datname, 'CONNECT')
ORDER BY datname)";

// One row per column pair of the foreign keys declared on the table named $1
// ($2 = 'of') or referencing it ($2 = 'to'), keys in the order they were
// made. Tables are named as the table list names them; a partition's copies
// of its parent's keys are left out.
constexpr const char* foreignKeyRowsSql = R"(
WITH k AS (
  SELECT k.oid, k.conname, k.conrelid, k.confrelid, k.conkey, k.confkey,
         CASE WHEN pg_catalog.pg_table_is_visible(c.oid) THEN c.relname
              ELSE n.nspname || '.' || c.relname END AS tab,
         CASE WHEN pg_catalog.pg_table_is_visible(fc.oid) THEN fc.relname
              ELSE fn.nspname || '.' || fc.relname END AS ftab
  FROM pg_catalog.pg_constraint k
  JOIN pg_catalog.pg_class c ON c.oid = k.conrelid
  JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
  JOIN pg_catalog.pg_class fc ON fc.oid = k.confrelid
  JOIN pg_catalog.pg_namespace fn ON fn.oid = fc.relnamespace
  WHERE k.contype = 'f' AND k.conparentid = 0)
SELECT k.conname, k.tab, a.attname, k.ftab, fa.attname, p.pos
FROM k
CROSS JOIN LATERAL unnest(k.conkey, k.confkey) WITH ORDINALITY AS p(col, fcol, pos)
JOIN pg_catalog.pg_attribute a ON a.attrelid = k.conrelid AND a.attnum = p.col
JOIN pg_catalog.pg_attribute fa ON fa.attrelid = k.confrelid AND fa.attnum = p.fcol
)";
const std::string foreignKeysSql = std::string(foreignKeyRowsSql) +
                                   "WHERE CASE $2 WHEN 'of' THEN k.tab ELSE k.ftab END = $1\n"
                                   "ORDER BY k.oid, p.pos";
// Every foreign key, for the completion's catalogue.
const std::string allForeignKeysSql = std::string(foreignKeyRowsSql) + "ORDER BY k.oid, p.pos";

// The columns of the tables the table list shows, in its order.
constexpr const char* listedColumnsSql = R"(
SELECT c.relname, a.attname
FROM pg_catalog.pg_class c
JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f')
  AND n.nspname <> 'information_schema' AND n.nspname NOT LIKE 'pg\_%'
  AND pg_catalog.pg_table_is_visible(c.oid)
ORDER BY n.nspname, c.relname, a.attnum)";

constexpr const char* oidByNameSql = R"(
SELECT c.oid FROM pg_catalog.pg_class c
WHERE c.relname = $1 AND pg_catalog.pg_table_is_visible(c.oid))";

std::vector<std::string> firstColumn(PGconn* conn, const char* sql) {
    PgResult result = execChecked(conn, sql);
    std::vector<std::string> names;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        names.emplace_back(PQgetvalue(result.get(), row, 0));
    }
    return names;
}

std::string oidArray(const std::vector<unsigned int>& oids) {
    std::string text = "{";
    for (unsigned int oid : oids) {
        text += (text.size() > 1 ? "," : "") + std::to_string(oid);
    }
    return text + "}";
}

} // namespace

void PostgresCatalog::load(PGconn* conn, const std::vector<unsigned int>& oids) {
    if (oids.empty()) {
        return;
    }
    PgResult result = execChecked(conn, tableColumnsSql, {oidArray(oids)});
    const PGresult* r = result.get();
    PgTableInfo info;
    for (int row = 0; row < PQntuples(r); ++row) {
        const auto oid =
            static_cast<unsigned int>(std::strtoul(PQgetvalue(r, row, 0), nullptr, 10));
        if (oid != info.oid) {
            if (info.oid != 0) {
                store(std::move(info));
            }
            const std::string schema = PQgetvalue(r, row, 1);
            const std::string table = PQgetvalue(r, row, 2);
            const bool visible = PQgetvalue(r, row, 3)[0] == 't';
            info = PgTableInfo{};
            info.oid = oid;
            info.name = visible ? table : schema + "." + table;
            info.sqlName = quoteIdentifier(schema) + "." + quoteIdentifier(table);
        }
        const int attnum = std::atoi(PQgetvalue(r, row, 4));
        const std::string column = PQgetvalue(r, row, 5);
        info.columns[attnum] = column;
        info.autoIncrement[attnum] = PQgetvalue(r, row, 6)[0] == 't';
        if (PQgetvalue(r, row, 7)[0] == 't') {
            info.primaryKey.push_back(column);
        }
        if (PQgetvalue(r, row, 8)[0] == 't') {
            info.generated.insert(attnum);
        }
    }
    if (info.oid != 0) {
        store(std::move(info));
    }
}

void PostgresCatalog::store(PgTableInfo info) {
    oidByName_[info.name] = info.oid;
    byOid_[info.oid] = std::move(info);
}

const PgTableInfo* PostgresCatalog::find(unsigned int oid) const {
    const auto it = byOid_.find(oid);
    return it == byOid_.end() ? nullptr : &it->second;
}

const PgTableInfo& PostgresCatalog::byName(PGconn* conn, const std::string& name) {
    if (const auto it = oidByName_.find(name); it != oidByName_.end()) {
        if (const PgTableInfo* info = find(it->second)) {
            return *info;
        }
    }
    PgResult result = execChecked(conn, oidByNameSql, {name});
    if (PQntuples(result.get()) == 0) {
        throw DataError("Table \"" + name + "\" was not found");
    }
    const auto oid =
        static_cast<unsigned int>(std::strtoul(PQgetvalue(result.get(), 0, 0), nullptr, 10));
    load(conn, {oid});
    const PgTableInfo* info = find(oid);
    if (info == nullptr) {
        throw DataError("Table \"" + name + "\" was not found");
    }
    return *info;
}

std::vector<std::string> PostgresCatalog::tableNames(PGconn* conn) {
    return firstColumn(conn, tableNamesSql);
}

namespace {

// The keys of a result whose rows are one key column each, as the key
// queries above list them.
std::vector<ForeignKey> keysOf(const PgResult& result) {
    const PGresult* r = result.get();
    std::vector<ForeignKeyColumn> rows;
    for (int row = 0; row < PQntuples(r); ++row) {
        rows.push_back({PQgetvalue(r, row, 0), PQgetvalue(r, row, 1), PQgetvalue(r, row, 2),
                        PQgetvalue(r, row, 3), PQgetvalue(r, row, 4),
                        std::atoll(PQgetvalue(r, row, 5))});
    }
    return groupForeignKeys(std::move(rows));
}

} // namespace

std::vector<ForeignKey> PostgresCatalog::foreignKeys(PGconn* conn, const std::string& table,
                                                     bool referencing) {
    return keysOf(execChecked(conn, foreignKeysSql, {table, referencing ? "to" : "of"}));
}

std::vector<ForeignKey> PostgresCatalog::allForeignKeys(PGconn* conn) {
    return keysOf(execChecked(conn, allForeignKeysSql));
}

std::vector<SchemaCatalog::Table> PostgresCatalog::listedColumns(PGconn* conn) {
    PgResult result = execChecked(conn, listedColumnsSql);
    const PGresult* r = result.get();
    std::vector<SchemaCatalog::Table> tables;
    for (int row = 0; row < PQntuples(r); ++row) {
        const char* table = PQgetvalue(r, row, 0);
        if (tables.empty() || tables.back().name != table) {
            tables.push_back({table, {}});
        }
        tables.back().columns.emplace_back(PQgetvalue(r, row, 1));
    }
    return tables;
}

std::vector<std::string> PostgresCatalog::databaseNames(PGconn* conn) {
    return firstColumn(conn, databaseNamesSql);
}

} // namespace vdata
