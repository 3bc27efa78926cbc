#pragma once

#include "data/service/ForeignKey.h"
#include "data/service/SchemaCatalog.h"

#include <libpq-fe.h>

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace vdata {

// What the write-back needs to know of a base table.
struct PgTableInfo {
    unsigned int oid = 0;
    std::string name;                   // as results name it: bare when on the search path
    std::string sqlName;                // quoted, schema-qualified
    std::map<int, std::string> columns; // attnum -> column name
    std::map<int, bool> autoIncrement;  // attnum -> serial or identity column
    std::set<int> generated;            // attnums of generated columns
    std::vector<std::string> primaryKey;
};

// Base-table descriptions read from the system catalogue, by OID and by the
// name results give them. Each query reloads the tables it reads from, so a
// table altered in between is seen as it is now.
class PostgresCatalog {
public:
    void load(PGconn* conn, const std::vector<unsigned int>& oids);
    const PgTableInfo* find(unsigned int oid) const;
    // The table a result named `name`; looked up in the catalogue when this
    // session has not seen it. Raises DataError when there is no such table.
    const PgTableInfo& byName(PGconn* conn, const std::string& name);

    static std::vector<std::string> tableNames(PGconn* conn);
    static std::vector<std::string> databaseNames(PGconn* conn);
    // The foreign keys declared on `table`, or those referencing it.
    static std::vector<ForeignKey> foreignKeys(PGconn* conn, const std::string& table,
                                               bool referencing);
    // Every foreign key, and the columns of every listed table: the
    // completion's catalogue in two queries.
    static std::vector<ForeignKey> allForeignKeys(PGconn* conn);
    static std::vector<SchemaCatalog::Table> listedColumns(PGconn* conn);

private:
    void store(PgTableInfo info);

    std::unordered_map<unsigned int, PgTableInfo> byOid_;
    std::map<std::string, unsigned int> oidByName_;
};

} // namespace vdata
