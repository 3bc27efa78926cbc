#pragma once

#include "data/providers/MariaDbSession.h"
#include "data/service/ForeignKey.h"
#include "data/service/SchemaCatalog.h"

#include <string>
#include <vector>

namespace vdata {

// What the write-back needs to know of a base table of the session's
// database.
struct MariaDbTableInfo {
    std::string name;
    std::vector<std::string> columns;   // in the table's order
    std::vector<std::string> generated; // computed from other columns, never written
    // The columns that find one row: the primary key, else the first unique
    // index of columns that hold no NULL; empty when the table has neither.
    std::vector<std::string> key;
    std::string autoIncrement; // the column the server numbers, if any
};

// Tables, databases, columns and foreign keys of the session's database,
// read from information_schema with the names bound as parameters.
namespace mariadbcatalog {

std::vector<std::string> tableNames(const MariaDbSession& s, MYSQL* mysql);
// The databases, the server's own (information_schema, mysql,
// performance_schema, sys) left out.
std::vector<std::string> databaseNames(const MariaDbSession& s, MYSQL* mysql);
// Raises DataError when the database has no such table.
MariaDbTableInfo table(const MariaDbSession& s, MYSQL* mysql, const std::string& name);
// The foreign keys declared on `table`, or those referencing it; every
// foreign key when `table` is empty.
std::vector<ForeignKey> foreignKeys(const MariaDbSession& s, MYSQL* mysql, const std::string& table,
                                    bool referencing);
// The columns of every table and view, in one query.
std::vector<SchemaCatalog::Table> listedColumns(const MariaDbSession& s, MYSQL* mysql);

} // namespace mariadbcatalog

} // namespace vdata
