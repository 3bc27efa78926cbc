#include "data/providers/SqliteStatement.h"

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include <algorithm>

namespace vdata {

namespace {

// The kind of a failure by SQLite's primary result code.
ErrorKind kindOf(int code) {
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return ErrorKind::NotADatabase;
    case SQLITE_READONLY:
        return ErrorKind::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ErrorKind::Conflict;
    case SQLITE_INTERRUPT:
        return ErrorKind::Cancelled;
    case SQLITE_CANTOPEN:
        return ErrorKind::Connection;
    default:
        return ErrorKind::Statement;
    }
}

} // namespace

// The extended code tells failures of one kind apart (a foreign key from
// other constraints).
void raiseSqlite(const SqliteApi& api, sqlite3* db) {
    const int code = api.extended_errcode(db);
    DataError error(api.errmsg(db), kindOf(code), std::to_string(code));
    if (const int offset = api.error_offset ? api.error_offset(db) : -1; offset >= 0) {
        error.setPlace(SqlErrorPlace{SqlErrorPlace::Unit::Byte, std::size_t(offset), {}});
    }
    throw error;
}

SqliteStatement::SqliteStatement(const SqliteApi& api, sqlite3* db, std::string_view sql,
                                 std::string_view* tail)
    : api_(api), db_(db) {
    const char* rest = nullptr;
    if (api.prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &rest) != SQLITE_OK) {
        raiseSqlite(api, db);
    }
    if (tail) {
        *tail = rest ? sql.substr(static_cast<std::size_t>(rest - sql.data())) : std::string_view();
    }
}

SqliteStatement::~SqliteStatement() {
    if (stmt_) {
        api_.finalize(stmt_);
    }
}

void SqliteStatement::bindAll(const std::vector<Value>& params) {
    const int count = api_.bind_parameter_count(stmt_);
    for (int i = 0; i < count && i < static_cast<int>(params.size()); ++i) {
        const Value& v = params[static_cast<std::size_t>(i)];
        int rc = SQLITE_OK;
        switch (v.kind) {
        case Value::Kind::Null:
            rc = api_.bind_null(stmt_, i + 1);
            break;
        case Value::Kind::Int:
            rc = api_.bind_int64(stmt_, i + 1, v.i);
            break;
        case Value::Kind::Real:
            rc = api_.bind_double(stmt_, i + 1, v.d);
            break;
        case Value::Kind::Text:
            rc = api_.bind_text(stmt_, i + 1, v.s.data(), static_cast<int>(v.s.size()),
                                SQLITE_TRANSIENT);
            break;
        case Value::Kind::Blob:
            rc = api_.bind_blob(stmt_, i + 1, v.s.data(), static_cast<int>(v.s.size()),
                                SQLITE_TRANSIENT);
            break;
        }
        if (rc != SQLITE_OK) {
            raiseSqlite(api_, db_);
        }
    }
}

void SqliteStatement::reset() {
    api_.reset(stmt_);
}

bool SqliteStatement::step() {
    const int rc = api_.step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    raiseSqlite(api_, db_);
}

Value SqliteStatement::column(int i) const {
    switch (api_.column_type(stmt_, i)) {
    case SQLITE_INTEGER:
        return Value::integer(api_.column_int64(stmt_, i));
    case SQLITE_FLOAT:
        return Value::real(api_.column_double(stmt_, i));
    case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(api_.column_text(stmt_, i));
        return Value::text(std::string(p, static_cast<std::size_t>(api_.column_bytes(stmt_, i))));
    }
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(api_.column_blob(stmt_, i));
        const int n = api_.column_bytes(stmt_, i);
        return Value::blob(p ? std::string(p, static_cast<std::size_t>(n)) : std::string());
    }
    default:
        return Value::null();
    }
}

std::string unshadowedRowidName(const std::vector<std::string>& columns) {
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (std::none_of(columns.begin(), columns.end(),
                         [&](const std::string& c) { return equalsIgnoreCase(c, name); })) {
            return name;
        }
    }
    return {};
}

} // namespace vdata
