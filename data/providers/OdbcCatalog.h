#pragma once

#include "data/providers/OdbcSession.h"
#include "data/service/ForeignKey.h"

#include <map>
#include <string>
#include <vector>

namespace vdata {

// What the write-back needs to know of a base table, from the driver's
// catalogue functions.
struct OdbcTableInfo {
    std::string name;                 // as results name it
    std::vector<std::string> columns; // in the table's order
    // The columns that find one row: the primary key, else the first
    // unique index; empty when the table has neither.
    std::vector<std::string> key;
    bool keyIsPrimary = false; // a unique index's columns may hold NULLs
};

// Tables, catalogs, table descriptions and foreign keys through SQLTables,
// SQLColumns, SQLPrimaryKeys, SQLStatistics and SQLForeignKeys.
class OdbcCatalog {
public:
    // Tables and views of the session's catalog, system tables excluded, in
    // the order the driver gives them.
    static std::vector<std::string> tableNames(const OdbcSession& session);
    // Every catalog (database) the driver reports, or the session's one
    // database when it reports none.
    static std::vector<std::string> catalogNames(const OdbcSession& session);
    // The foreign keys declared on `table`, or those referencing it, through
    // SQLForeignKeys, in the order the standard gives them: by referenced
    // table, or by referring table (ODBC keeps no declaration order).
    static std::vector<ForeignKey> foreignKeys(const OdbcSession& session, const std::string& table,
                                               bool referencing);
    // The columns of every table of the session's catalog, in one call of
    // SQLColumns; a name found in several schemas keeps the first's.
    static std::map<std::string, std::vector<std::string>> allColumns(const OdbcSession& session);

    // The table a result named `name`, read once per query (see forget()).
    // Raises DataError when the driver knows no such table.
    const OdbcTableInfo& table(const OdbcSession& session, const std::string& name);
    // Tables are read again after this, so that a table altered meanwhile is
    // seen as it is.
    void forget() { tables_.clear(); }

private:
    std::map<std::string, OdbcTableInfo> tables_;
};

} // namespace vdata
