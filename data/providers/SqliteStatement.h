#pragma once

#include "data/providers/SqliteApi.h"
#include "data/service/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// One prepared SQLite statement, finalized when it goes out of scope.
class SqliteStatement {
public:
    // Prepares the first statement of `sql`; `tail` receives the rest.
    SqliteStatement(const SqliteApi& api, sqlite3* db, std::string_view sql,
                    std::string_view* tail = nullptr);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool empty() const { return stmt_ == nullptr; } // only blanks or comments
    sqlite3_stmt* handle() const { return stmt_; }

    // Binds params[0..] to ?1.. as far as the statement has parameters.
    void bindAll(const std::vector<Value>& params);
    // Steps once; true while a row is ready.
    bool step();
    // Makes the statement ready to run again with new bindings.
    void reset();
    Value column(int i) const;

private:
    const SqliteApi& api_;
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// The name that reaches the rowid of a table with `columns`: the first of
// rowid, _rowid_ and oid that is no column's; empty when all three are.
std::string unshadowedRowidName(const std::vector<std::string>& columns);

// Raises DataError with the database's current message.
[[noreturn]] void raiseSqlite(const SqliteApi& api, sqlite3* db);

} // namespace vdata
