#include "data/providers/OdbcEngine.h"

#include "data/providers/OdbcCatalog.h"
#include "data/providers/OdbcKeyRangeStream.h"
#include "data/providers/OdbcResult.h"
#include "data/providers/OdbcRowWriter.h"
#include "data/providers/OdbcSession.h"
#include "data/service/Errors.h"
#include "data/service/SqlLexer.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace vdata {

namespace {

const char* const noResultSet = "CommandText does not return a result set";

using Repeat = OdbcSession::Repeat;

// A plain SELECT (or VALUES, or TABLE) changes nothing, so it may run again
// on a new connection when the old one was lost; any other text may write.
Repeat repeatOf(const std::string& sql) {
    for (const SqlToken& t : lexSql(sql)) {
        if (t.kind == SqlToken::Kind::Space || t.kind == SqlToken::Kind::Comment) {
            continue;
        }
        const bool reads = t.kind == SqlToken::Kind::Word && (equalsIgnoreCase(t.text, "SELECT") ||
                                                              equalsIgnoreCase(t.text, "VALUES") ||
                                                              equalsIgnoreCase(t.text, "TABLE"));
        return reads ? Repeat::Safe : Repeat::Unsafe;
    }
    return Repeat::Unsafe;
}

// The states drivers report for a statement that ran out of time: ODBC's
// own, MariaDB's max_statement_time and PostgreSQL's statement_timeout
// and lock_timeout.
std::vector<Value> keyValues(const RowKey& key) {
    std::vector<Value> values;
    for (const RowKey::Part& part : key.parts) {
        values.push_back(part.value);
    }
    return values;
}

bool sameValues(const RowKey& a, const RowKey& b) {
    return keyValues(a) == keyValues(b);
}

bool isTimeout(const std::string& state) {
    constexpr std::array<std::string_view, 5> states = {"HYT00", "HYT01", "70100", "57014",
                                                        "55P03"};
    return std::find(states.begin(), states.end(), state) != states.end();
}

SQLRETURN prepare(const OdbcHandle& stmt, const std::string& sql) {
    std::u16string text = toUtf16(sql);
    return SQLPrepareW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size()));
}

// Runs a prepared statement, which the progress callback may cancel;
// SQL_NO_DATA is a statement that touched no row.
void run(const OdbcHandle& stmt) {
    const SQLRETURN rc = executeOdbc(stmt, [&stmt] { return SQLExecute(stmt.get()); });
    if (rc != SQL_NO_DATA) {
        stmt.check(rc);
    }
}

long long rowCount(const OdbcHandle& stmt) {
    SQLLEN count = -1;
    stmt.check(SQLRowCount(stmt.get(), &count));
    return count;
}

class OdbcEngine final : public Engine {
public:
    explicit OdbcEngine(const ConnectionString& cs) : session_(cs) {}

    void close() noexcept override { session_.close(); }
    bool isOpen() const override { return session_.isOpen(); }

    std::vector<std::string> listTables() override {
        return session_.run(Repeat::Safe, [&] { return OdbcCatalog::tableNames(session_); });
    }
    std::vector<std::string> listCatalogs() override {
        return session_.run(Repeat::Safe, [&] { return OdbcCatalog::catalogNames(session_); });
    }
    std::vector<std::string> tableOrderKey(const std::string& table) override {
        catalog_.forget();
        return tableInfo(table).key;
    }

    std::vector<ForeignKey> foreignKeysOf(const std::string& table) override {
        return session_.run(Repeat::Safe,
                            [&] { return OdbcCatalog::foreignKeys(session_, table, false); });
    }
    std::vector<ForeignKey> keysReferencing(const std::string& table) override {
        return session_.run(Repeat::Safe,
                            [&] { return OdbcCatalog::foreignKeys(session_, table, true); });
    }

    // Every table's columns in one call; the keys table by table, as
    // SQLForeignKeys wants a table.
    SchemaCatalog readCatalog() override {
        return session_.run(Repeat::Safe, [&] {
            SchemaCatalog catalog = emptyCatalog();
            std::map<std::string, std::vector<std::string>> columns =
                OdbcCatalog::allColumns(session_);
            for (const std::string& table : OdbcCatalog::tableNames(session_)) {
                catalog.tables.push_back({table, std::move(columns[table])});
                for (ForeignKey& key : OdbcCatalog::foreignKeys(session_, table, false)) {
                    catalog.keys.push_back(std::move(key));
                }
            }
            catalog.buildIndex();
            return catalog;
        });
    }

    std::string rewrite(const std::string& sql) const override { return session_.rewrite(sql); }
    std::string placeholder(int) const override { return "?"; }
    SqlFamily sqlFamily() const override;

    ResultSet query(const std::string& sql, const std::vector<Value>& params) override;
    SteppedResult openTable(const TableRead& read, std::size_t firstRows) override;
    bool returnsRows(const std::string& sql) override;
    long long execute(const std::string& sql, const std::vector<Value>& params) override;

    std::vector<Value> updateRow(const RowEdit& edit) override;
    std::vector<Value> insertRow(const RowEdit& edit) override;
    void deleteRow(const RowEdit& edit) override;
    std::string readOnlyReason(const std::vector<ColumnInfo>& columns,
                               const std::string& table) override;

private:
    bool trustSizes() const { return session_.info().family != OdbcFamily::Sqlite; }
    ResultSet queryOnce(const std::string& sql, const std::vector<Value>& params);
    long long executeOnce(const std::string& sql, const std::vector<Value>& params);
    const OdbcTableInfo& tableInfo(const std::string& table);
    long long write(const WriteStatement& s);
    long long writeOnce(const WriteStatement& s);
    Snapshot readRow(const std::string& sql, const std::vector<Value>& params);
    std::vector<Value> readBack(const OdbcRowWriter& writer, const RowEdit& edit,
                                const RowKey& key);
    Value generatedKey();
    const OdbcTableInfo& currentTable(const RowEdit& edit);

    void tellReads(const std::string& table, const RowKey& key);

    OdbcSession session_;
    OdbcCatalog catalog_;
    std::vector<std::weak_ptr<OdbcWrittenKeys>> reads_; // of the table views read in steps
};

SqlFamily OdbcEngine::sqlFamily() const {
    switch (session_.info().family) {
    case OdbcFamily::SqlServer:
        return SqlFamily::SqlServer;
    case OdbcFamily::MySql:
        return SqlFamily::MySql;
    case OdbcFamily::Postgres:
        return SqlFamily::Postgres;
    case OdbcFamily::Sqlite:
        return SqlFamily::Sqlite;
    case OdbcFamily::Other:
        break;
    }
    return SqlFamily::Standard;
}

ResultSet OdbcEngine::query(const std::string& sql, const std::vector<Value>& params) {
    return session_.run(repeatOf(sql), [&] { return queryOnce(sql, params); });
}

ResultSet OdbcEngine::queryOnce(const std::string& sql, const std::vector<Value>& params) {
    catalog_.forget();
    const OdbcHandle stmt = session_.statement();
    stmt.check(prepare(stmt, sql));
    SQLSMALLINT count = 0;
    stmt.check(SQLNumResultCols(stmt.get(), &count));
    if (count == 0) {
        throw DataError(noResultSet);
    }
    const OdbcParams bound(stmt.get(), params);
    run(stmt);
    std::vector<OdbcColumnPlan> plans;
    ResultSet result;
    result.columns = describeOdbcColumns(stmt, trustSizes(), plans);
    result.rows = Snapshot(result.columns.size());
    fetchOdbcRows(stmt, plans, result.rows);
    return result;
}

// A table view in the order of its table's primary key is read by ranges of
// that key (a unique index's columns may hold NULLs, which no range
// reaches); others, and a view from a key, at once, as drivers commonly hold
// a whole result before they give a row.
SteppedResult OdbcEngine::openTable(const TableRead& read, std::size_t firstRows) {
    if (read.from) {
        return Engine::openTable(read, firstRows);
    }
    if (!read.orderKey.empty()) {
        catalog_.forget();
        const OdbcTableInfo info = tableInfo(read.table);
        if (info.keyIsPrimary && info.key == read.orderKey) {
            auto written = std::make_shared<OdbcWrittenKeys>(OdbcWrittenKeys{read.table, {}});
            std::optional<SteppedResult> stepped = session_.run(Repeat::Safe, [&] {
                return OdbcKeyRangeStream::open(session_, trustSizes(), read.orderKey, written,
                                                firstRows);
            });
            if (stepped) {
                if (stepped->rest) {
                    reads_.push_back(written);
                }
                return std::move(*stepped);
            }
        }
    }
    const std::string sql =
        tableReadSql(read, [this](const std::string& name) { return session_.quoted(name); });
    return Engine::openInSteps(sql, {}, firstRows);
}

// Preparing runs nothing.
bool OdbcEngine::returnsRows(const std::string& sql) {
    return session_.run(Repeat::Safe, [&] {
        const OdbcHandle stmt = session_.statement();
        stmt.check(prepare(stmt, sql));
        SQLSMALLINT count = 0;
        stmt.check(SQLNumResultCols(stmt.get(), &count));
        return count > 0;
    });
}

const OdbcTableInfo& OdbcEngine::tableInfo(const std::string& table) {
    return session_.run(Repeat::Safe,
                        [&]() -> const OdbcTableInfo& { return catalog_.table(session_, table); });
}

// Each result of the text is stepped over; the counts of those without
// rows are added up. Statements are taken as writes: never run twice.
long long OdbcEngine::execute(const std::string& sql, const std::vector<Value>& params) {
    return session_.run(Repeat::Unsafe, [&] {
        session_.userStatementRuns();
        return executeOnce(sql, params);
    });
}

long long OdbcEngine::executeOnce(const std::string& sql, const std::vector<Value>& params) {
    const OdbcHandle stmt = session_.statement();
    const OdbcParams bound(stmt.get(), params);
    std::u16string text = toUtf16(sql);
    SQLRETURN rc = executeOdbc(stmt, [&] {
        return SQLExecDirectW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size()));
    });
    long long affected = -1;
    while (rc != SQL_NO_DATA) {
        stmt.check(rc);
        SQLSMALLINT columns = 0;
        stmt.check(SQLNumResultCols(stmt.get(), &columns));
        if (const long long count = rowCount(stmt); columns == 0 && count >= 0) {
            affected = std::max(affected, 0LL) + count;
        }
        rc = SQLMoreResults(stmt.get());
    }
    return affected;
}

// A write that waits for a locked row ends after a few seconds with a
// message that says so. A write is never repeated.
long long OdbcEngine::write(const WriteStatement& s) {
    return session_.run(Repeat::Unsafe, [&] { return writeOnce(s); });
}

long long OdbcEngine::writeOnce(const WriteStatement& s) {
    const OdbcHandle stmt = session_.statement();
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(odbcLockWaitSeconds)), 0);
    stmt.check(prepare(stmt, s.sql));
    const OdbcParams bound(stmt.get(), s.params);
    try {
        run(stmt);
    } catch (const DataError& e) {
        if (!isTimeout(e.nativeCode())) {
            throw;
        }
        throw DataError("The row is locked by another session; nothing was written. Try again "
                        "when it is free.\n" +
                            std::string(e.what()),
                        ErrorKind::Conflict, e.nativeCode());
    }
    return rowCount(stmt);
}

Snapshot OdbcEngine::readRow(const std::string& sql, const std::vector<Value>& params) {
    const OdbcHandle stmt = session_.statement();
    stmt.check(prepare(stmt, sql));
    const OdbcParams bound(stmt.get(), params);
    run(stmt);
    std::vector<OdbcColumnPlan> plans;
    const std::vector<ColumnInfo> columns = describeOdbcColumns(stmt, trustSizes(), plans);
    Snapshot rows(columns.size());
    fetchOdbcRows(stmt, plans, rows);
    return rows;
}

// ODBC has no portable RETURNING: the row is read again by its key, so that
// defaults and values the server changed show.
std::vector<Value> OdbcEngine::readBack(const OdbcRowWriter& writer, const RowEdit& edit,
                                        const RowKey& key) {
    std::vector<Value> row = edit.current;
    const WriteStatement s = writer.sql().select(key);
    const Snapshot read = session_.run(Repeat::Safe, [&] { return readRow(s.sql, s.params); });
    if (read.rowCount() == 0) {
        return row;
    }
    for (std::size_t r = 0; r < s.returned.size(); ++r) {
        row.at(s.returned[r]) = read.value(0, r);
    }
    return row;
}

// Only the connection that inserted knows the key, so this is never read
// again on a new one.
Value OdbcEngine::generatedKey() {
    const std::string sql = session_.generatedKeyQuery();
    if (sql.empty()) {
        return Value::null();
    }
    const Snapshot read = readRow(sql, {});
    return read.rowCount() == 0 ? Value::null() : read.value(0, 0);
}

// The table as it is now. A column of the result that it no longer has
// (renamed or dropped by someone else) stops an update or insert before it
// writes anything, as the row could not be read back.
const OdbcTableInfo& OdbcEngine::currentTable(const RowEdit& edit) {
    catalog_.forget();
    const OdbcTableInfo& table = tableInfo(edit.table);
    const bool fold = session_.info().namesFoldCase;
    for (const ColumnInfo& c : *edit.columns) {
        if (c.column.empty() || c.table != edit.table) {
            continue;
        }
        const bool present =
            std::any_of(table.columns.begin(), table.columns.end(), [&](const std::string& name) {
                return fold ? equalsIgnoreCase(name, c.column) : name == c.column;
            });
        if (!present) {
            throw DataError(columnGoneText(c.column, edit.table));
        }
    }
    return table;
}

std::vector<Value> OdbcEngine::updateRow(const RowEdit& edit) {
    const OdbcRowWriter writer(session_, currentTable(edit), edit);
    if (writer.sql().hasChanges() &&
        write(writer.sql().update(writer.sql().withUnchanged(writer.key()))) == 0) {
        throw DataError(rowGoneText(edit.table), ErrorKind::Conflict);
    }
    std::vector<Value> row = readBackAfterWrite(
        edit.current, [&] { return readBack(writer, edit, writer.keyOf(edit.current)); });
    if (const RowKey key = writer.keyOf(row); !sameValues(key, writer.key())) {
        tellReads(edit.table, key);
    }
    return row;
}

// A one-column key left empty is the server's to number: its value is read
// back as the server allows. The insert is committed before either read.
std::vector<Value> OdbcEngine::insertRow(const RowEdit& edit) {
    const OdbcRowWriter writer(session_, currentTable(edit), edit);
    if (write(writer.sql().insert()) == 0) {
        throw DataError("The new row was not inserted");
    }
    std::vector<Value> row = readBackAfterWrite(edit.current, [&] {
        std::vector<Value> values = edit.current;
        if (const int key = writer.singleKeyColumn(); key >= 0 && values.at(key).isNull()) {
            values.at(key) = generatedKey();
        }
        return readBack(writer, edit, writer.keyOf(values));
    });
    tellReads(edit.table, writer.keyOf(row));
    return row;
}

// A row written with a key a read of its table may still come to: the read
// leaves it out there if its window lists it already.
void OdbcEngine::tellReads(const std::string& table, const RowKey& key) {
    std::erase_if(reads_, [](const auto& read) { return read.expired(); });
    for (const auto& read : reads_) {
        const std::shared_ptr<OdbcWrittenKeys> keys = read.lock();
        if (keys->table == table) {
            keys->keys.push_back(keyValues(key));
        }
    }
}

void OdbcEngine::deleteRow(const RowEdit& edit) {
    const OdbcRowWriter writer(session_, tableInfo(edit.table), edit);
    if (write(writer.sql().remove(writer.key())) == 0) {
        throw DataError(rowGoneText(edit.table), ErrorKind::Conflict);
    }
}

std::string OdbcEngine::readOnlyReason(const std::vector<ColumnInfo>& columns,
                                       const std::string& table) {
    return writerRefusal(columns, table, [&](const RowEdit& edit) {
        const OdbcRowWriter writer(session_, tableInfo(table), edit);
    });
}

} // namespace

std::unique_ptr<Engine> openOdbcEngine(const ConnectionString& cs) {
    return std::make_unique<OdbcEngine>(cs);
}

} // namespace vdata
