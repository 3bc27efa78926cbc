#pragma once

#include "data/providers/AccessReaderProcess.h"
#include "data/providers/SqliteApi.h"

#include <map>
#include <set>
#include <string>

namespace vdata {

// Copies Access tables into an SQLite database, each the first time a
// statement names it, with the same table and column names and declared
// types that give the Access column's field type.
class AccessTableCopier {
public:
    AccessTableCopier(AccessReaderProcess& reader, sqlite3* db);

    // Copies every table that `sql` names (as a word or a quoted name,
    // wherever it stands) and that is not copied yet.
    void copyTablesNamedIn(const std::string& sql);

private:
    void copy(const std::string& table);
    void run(const std::string& sql);

    AccessReaderProcess& reader_;
    sqlite3* db_;
    std::map<std::string, std::string> tables_; // by lower-case name
    std::set<std::string> copied_;
};

} // namespace vdata
