#include "data/providers/AccessTableCopier.h"

#include "data/providers/SqliteStatement.h"
#include "data/providers/TypeMap.h"
#include "data/service/Progress.h"
#include "data/service/SqlLexer.h"
#include "data/service/WriteBackSql.h"

#include <algorithm>
#include <cctype>

namespace vdata {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

AccessTableCopier::AccessTableCopier(AccessReaderProcess& reader, sqlite3* db)
    : reader_(reader), db_(db) {
    for (const std::string& table : reader.tables()) {
        tables_.emplace(lower(table), table);
    }
}

void AccessTableCopier::copyTablesNamedIn(const std::string& sql) {
    for (const SqlToken& t : lexSql(sql)) {
        if (t.kind != SqlToken::Kind::Word && t.kind != SqlToken::Kind::Quoted) {
            continue;
        }
        const auto it = tables_.find(lower(identifierText(t)));
        if (it != tables_.end() && !copied_.contains(it->second)) {
            copy(it->second);
        }
    }
}

void AccessTableCopier::run(const std::string& sql) {
    SqliteStatement stmt(systemSqlite(), db_, sql);
    stmt.step();
}

void AccessTableCopier::copy(const std::string& table) {
    const std::vector<AccessColumn> columns = reader_.columns(table);
    std::string create = "CREATE TABLE " + quoteIdentifier(table) + " (";
    std::string insert = "INSERT INTO " + quoteIdentifier(table) + " VALUES (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const AccessColumn& c = columns[i];
        create += (i ? ", " : "") + quoteIdentifier(c.name) + " " +
                  accessDeclaredType(c.type, c.autoNumber, c.precision, c.scale);
        insert += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    run("BEGIN");
    try {
        run(create + ")");
        SqliteStatement stmt(systemSqlite(), db_, insert + ")");
        std::size_t done = 0;
        reader_.readRows(table, [&stmt, &done](const std::vector<Value>& row) {
            stmt.bindAll(row);
            stmt.step();
            stmt.reset();
            if (++done % progressStep == 0) {
                checkProgress(done);
            }
        });
        checkProgress(done); // a copy cancelled at its end is not kept either
    } catch (...) {
        run("ROLLBACK");
        throw;
    }
    run("COMMIT");
    copied_.insert(table);
}

} // namespace vdata
