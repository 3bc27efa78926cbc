#include "data/providers/PostgresEngine.h"

#include "data/providers/PostgresCatalog.h"
#include "data/providers/PostgresCopyText.h"
#include "data/providers/PostgresResult.h"
#include "data/providers/PostgresRowWriter.h"
#include "data/providers/PostgresSession.h"
#include "data/providers/PostgresStatementStream.h"
#include "data/providers/PostgresTableStream.h"
#include "data/providers/PostgresValues.h"
#include "data/providers/TypeMap.h"
#include "data/service/Dialect.h"
#include "data/service/Errors.h"
#include "data/service/Progress.h"
#include "data/service/RefusedByKey.h"
#include "data/service/WriteBackSql.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>

#include <poll.h>

namespace vdata {

namespace {

const char* const noResultSet = "CommandText does not return a result set";

using Repeat = PostgresSession::Repeat;

constexpr std::string_view lockNotAvailable = "55P03";
constexpr std::string_view undefinedColumn = "42703";
constexpr std::string_view foreignKeyViolation = "23503";

// A plain SELECT (or FETCH) reports the rows it returned, which are not
// records affected; INSERT ... RETURNING and SELECT INTO still count.
bool readsOnly(const PGresult* result) {
    const std::string_view tag = PQcmdStatus(const_cast<PGresult*>(result));
    return PQresultStatus(result) == PGRES_TUPLES_OK &&
           (tag.rfind("SELECT", 0) == 0 || tag.rfind("FETCH", 0) == 0);
}

// Asks the server to stop the statement this session runs; the statement
// then ends with an error, which the caller reads and drops.
void cancelOnServer(PGconn* conn) {
    if (PGcancel* cancel = PQgetCancel(conn)) {
        char message[256];
        PQcancel(cancel, message, sizeof message);
        PQfreeCancel(cancel);
    }
}

// Waits until the next result can be read. While the server is silent the
// progress callback is told every tenth of a second; false once it asked to
// stop. A failure of the connection is left to PQgetResult to report.
bool awaitResult(PGconn* conn, std::size_t done) {
    while (PQisBusy(conn) != 0) {
        pollfd fd{PQsocket(conn), POLLIN, 0};
        const int ready = ::poll(&fd, 1, 100);
        if ((ready < 0 && errno != EINTR) || PQconsumeInput(conn) == 0) {
            return true;
        }
        if (ready == 0 && !progressContinues(done)) {
            return false;
        }
    }
    return true;
}

// Waits up to a tenth of a second for more input and reads it; false once
// the progress callback, told while the server is silent, asked to stop. A
// failure of the connection is left to the caller's next read to report.
bool awaitInput(PGconn* conn, std::size_t done) {
    pollfd fd{PQsocket(conn), POLLIN, 0};
    const int ready = ::poll(&fd, 1, 100);
    if ((ready < 0 && errno != EINTR) || PQconsumeInput(conn) == 0) {
        return true;
    }
    return ready != 0 || progressContinues(done);
}

// Tells the server once to cancel the running statement when the caller
// no longer wants to go on.
struct Stopper {
    PGconn* conn;
    bool cancelled = false;
    void unless(bool goOn) {
        if (!goOn && !cancelled) {
            cancelled = true;
            cancelOnServer(conn);
        }
    }
};

// Reads the results still due and keeps the first failure, unless the
// statement was cancelled; a lost connection is a failure too.
std::optional<DataError> finishResults(PGconn* conn, bool cancelled,
                                       std::optional<DataError> error) {
    while (PGresult* raw = PQgetResult(conn)) {
        const PgResult result(raw);
        if (!error && !cancelled && !resultSucceeded(raw)) {
            error = resultError(raw, conn);
        }
    }
    if (!error && PQstatus(conn) == CONNECTION_BAD) {
        error = connectionError(conn);
    }
    return error;
}

// Parses the statement without running it, so that a statement without rows
// is refused before it changes anything.
PgResult describe(PGconn* conn, const std::string& sql, const std::vector<Value>& params) {
    PgResult prepared(PQprepare(conn, "", sql.c_str(), static_cast<int>(params.size()), nullptr));
    if (!resultSucceeded(prepared.get())) {
        throw resultError(prepared.get(), conn);
    }
    PgResult description(PQdescribePrepared(conn, ""));
    if (!resultSucceeded(description.get())) {
        throw resultError(description.get(), conn);
    }
    return description;
}

// The lines of a running COPY as rows. A line that is not a row of the
// described columns cancels the statement; its failure is returned.
std::optional<DataError> readCopyLines(PGconn* conn, Stopper& stop,
                                       const std::vector<PgStorage>& storage, Snapshot& rows) {
    std::optional<DataError> changed;
    CopyLineScratch scratch;
    std::size_t done = 0;
    while (PQstatus(conn) != CONNECTION_BAD) {
        char* line = nullptr;
        // Once cancelled, the rest is read without asking the callback again.
        const int length = PQgetCopyData(conn, &line, stop.cancelled ? 0 : 1);
        if (length < 0) {
            return changed;
        }
        if (length == 0) {
            stop.unless(awaitInput(conn, done));
            continue;
        }
        if (!stop.cancelled) {
            try {
                appendCopyRow(rows, storage, {line, static_cast<std::size_t>(length)}, scratch);
            } catch (const DataError& e) {
                changed = e;
                stop.unless(false);
            }
            stop.unless(++done % progressStep != 0 || progressContinues(done));
        }
        PQfreemem(line);
    }
    return changed;
}

// False when the server refused the statement before sending a row (outside
// a transaction block that leaves nothing behind). A cancel is handled as in
// fetchRows.
bool fetchCopied(PGconn* conn, const std::string& copy, const std::vector<PgStorage>& storage,
                 Snapshot& rows) {
    if (PQsendQueryParams(conn, copy.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 0) {
        throw connectionError(conn);
    }
    Stopper stop{conn};
    stop.unless(awaitResult(conn, 0));
    const PgResult start(PQgetResult(conn));
    const bool copying = PQresultStatus(start.get()) == PGRES_COPY_OUT;
    std::optional<DataError> changed;
    if (copying) {
        changed = readCopyLines(conn, stop, storage, rows);
    }
    const std::optional<DataError> error = finishResults(conn, stop.cancelled, changed);
    if (error && (copying || PQstatus(conn) == CONNECTION_BAD)) {
        throw *error;
    }
    if (stop.cancelled) {
        throwCancelled();
    }
    return copying;
}

void sendInSingleRowMode(PGconn* conn, const std::string& sql, const std::vector<Value>& params) {
    const PgParams bound(params);
    if (PQsendQueryParams(conn, sql.c_str(), bound.count(), nullptr, bound.values(),
                          bound.lengths(), bound.formats(), 0) == 0) {
        throw connectionError(conn);
    }
    PQsetSingleRowMode(conn);
}

// Rows arrive one at a time and go straight into the snapshot, so the
// server's result is never held whole in libpq as well. When the progress
// callback asks to stop, the server is told to cancel the statement and
// what it still sends is read and dropped, so the session stays usable.
// A plain SELECT outside a transaction block is read through its COPY form:
// the same statement, run once, with the same output functions, but without
// libpq building a result object per row, which costs more than the rest of
// the read. Any other statement, or one whose COPY form the server refuses
// before running it, is read row by row.
void fetchRows(PGconn* conn, const std::string& sql, const std::vector<Value>& params,
               const std::vector<PgStorage>& storage, Snapshot& rows) {
    if (params.empty() && PQtransactionStatus(conn) == PQTRANS_IDLE) {
        if (const auto copy = copyOutStatement(sql);
            copy && fetchCopied(conn, *copy, storage, rows)) {
            return;
        }
    }
    sendInSingleRowMode(conn, sql, params);
    Stopper stop{conn};
    std::optional<DataError> error;
    std::size_t done = 0;
    while (true) {
        stop.unless(stop.cancelled || awaitResult(conn, done));
        const PgResult result(PQgetResult(conn));
        PGresult* raw = result.get();
        if (raw == nullptr) {
            break;
        }
        if (stop.cancelled || error) {
            continue;
        }
        if (PQresultStatus(raw) == PGRES_SINGLE_TUPLE) {
            try {
                appendPgRow(raw, storage, rows);
            } catch (const DataError& e) {
                error = e;
                stop.unless(false);
            }
            stop.unless(++done % progressStep != 0 || progressContinues(done));
        } else if (!resultSucceeded(raw)) {
            error = resultError(raw, conn);
        }
    }
    error = finishResults(conn, stop.cancelled, error);
    if (error) {
        throw *error;
    }
    if (stop.cancelled) {
        throwCancelled();
    }
}

// Without parameters the text may hold several statements (the simple query
// protocol runs them as one transaction); the counts of those that change
// rows are added up. Returned rows are read one at a time and dropped. A
// cancel asked for through the progress callback stops the server too.
long long runStatements(PGconn* conn, const std::string& sql, const std::vector<Value>& params) {
    int sent = 0;
    if (params.empty()) {
        sent = PQsendQuery(conn, sql.c_str());
    } else {
        const PgParams bound(params);
        sent = PQsendQueryParams(conn, sql.c_str(), bound.count(), nullptr, bound.values(),
                                 bound.lengths(), bound.formats(), 0);
    }
    if (sent == 0) {
        throw connectionError(conn);
    }
    PQsetSingleRowMode(conn);
    long long affected = -1;
    std::optional<DataError> error;
    Stopper stop{conn};
    while (true) {
        stop.unless(stop.cancelled || awaitResult(conn, 0));
        PGresult* raw = PQgetResult(conn);
        if (raw == nullptr) {
            break;
        }
        PgResult result(raw);
        const ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_SINGLE_TUPLE) {
            continue;
        }
        if (!resultSucceeded(raw)) {
            if (!error) {
                error = resultError(raw, conn);
            }
        } else if (const char* count = PQcmdTuples(raw); *count != '\0' && !readsOnly(raw)) {
            affected = std::max(affected, 0LL) + std::atoll(count);
        }
    }
    if (!error && PQstatus(conn) == CONNECTION_BAD) {
        error = connectionError(conn);
    }
    if (stop.cancelled) {
        throwCancelled();
    }
    if (error) {
        throw *error;
    }
    return affected;
}

class PostgresEngine final : public Engine {
public:
    explicit PostgresEngine(const ConnectionString& cs) : cs_(cs), session_(cs) {}

    void close() noexcept override { session_.close(); }
    // Open until closed, also when the server has gone away: the next call
    // then tries to connect again, and closing still runs its events.
    bool isOpen() const override { return session_.isOpen(); }

    std::vector<std::string> listTables() override {
        return session_.run(Repeat::Safe, PostgresCatalog::tableNames);
    }
    std::vector<std::string> listCatalogs() override {
        return session_.run(Repeat::Safe, PostgresCatalog::databaseNames);
    }
    std::vector<std::string> tableOrderKey(const std::string& table) override {
        return session_.run(Repeat::Safe,
                            [&](PGconn* c) { return catalog_.byName(c, table).primaryKey; });
    }
    std::vector<ForeignKey> foreignKeysOf(const std::string& table) override {
        return session_.run(
            Repeat::Safe, [&](PGconn* c) { return PostgresCatalog::foreignKeys(c, table, false); });
    }
    std::vector<ForeignKey> keysReferencing(const std::string& table) override {
        return session_.run(
            Repeat::Safe, [&](PGconn* c) { return PostgresCatalog::foreignKeys(c, table, true); });
    }

    // PostgreSQL reads an unquoted name in lower case.
    SchemaCatalog readCatalog() override {
        SchemaCatalog catalog = emptyCatalog();
        catalog.quoting.foldsToLower = true;
        catalog.functions.insert(catalog.functions.end(),
                                 {"ARRAY_AGG", "DATE_TRUNC", "EXTRACT", "GENERATE_SERIES", "NOW",
                                  "STRING_AGG", "SUBSTRING", "TO_CHAR"});
        catalog.tables = session_.run(Repeat::Safe, PostgresCatalog::listedColumns);
        catalog.keys = session_.run(Repeat::Safe, PostgresCatalog::allForeignKeys);
        catalog.buildIndex();
        return catalog;
    }

    std::string rewrite(const std::string& sql) const override {
        return bracketsToQuotes(rewriteTop(sql));
    }
    std::string placeholder(int n) const override { return "$" + std::to_string(n); }
    SqlFamily sqlFamily() const override { return SqlFamily::Postgres; }

    ResultSet query(const std::string& sql, const std::vector<Value>& params) override;
    SteppedResult openInSteps(const std::string& sql, const std::vector<Value>& params,
                              std::size_t firstRows) override;
    SteppedResult openTable(const TableRead& read, std::size_t firstRows) override;
    bool returnsRows(const std::string& sql) override {
        return session_.run(Repeat::Safe,
                            [&](PGconn* c) { return PQnfields(describe(c, sql, {}).get()) > 0; });
    }
    long long execute(const std::string& sql, const std::vector<Value>& params) override;

    std::optional<DataStamp> dataStamp() override;
    std::vector<Value> updateRow(const RowEdit& edit) override;
    std::vector<Value> insertRow(const RowEdit& edit) override;
    void deleteRow(const RowEdit& edit) override;
    std::string readOnlyReason(const std::vector<ColumnInfo>& columns,
                               const std::string& table) override;

private:
    struct Described {
        std::vector<ColumnInfo> columns;
        std::vector<PgStorage> storage;
    };
    Described describeRows(const std::string& sql, const std::vector<Value>& params);
    std::size_t rowsEstimated(const std::string& table);
    bool inTransaction();
    SteppedResult readStatement(const std::string& sql, const std::vector<Value>& params,
                                std::size_t firstRows);
    std::vector<ColumnInfo> columnsOf(PGconn* conn, const PGresult* description);
    const PgTableInfo& tableOf(const RowEdit& edit);
    PgResult write(PGconn* conn, const WriteStatement& s, const PgTableInfo& table,
                   const RowEdit& edit);
    std::vector<Value> writeReturning(const WriteStatement& s, const PgTableInfo& table,
                                      const RowEdit& edit, const std::string& whenNoRow);
    DataError writeError(PGconn* conn, const PGresult* result, const PgTableInfo& table,
                         const RowEdit& edit);

    ConnectionString cs_; // for the sessions that read tables in steps
    PostgresSession session_;
    PostgresCatalog catalog_;
};

// Outside a transaction block every statement that writes commits under a
// transaction id of its own, so the server's snapshot (the next id to assign
// and those still running) moves with each change, this session's included.
// Inside a block later writes share one id: no stamp then.
std::optional<Engine::DataStamp> PostgresEngine::dataStamp() {
    return session_.run(Repeat::Safe, [](PGconn* conn) -> std::optional<DataStamp> {
        if (PQtransactionStatus(conn) != PQTRANS_IDLE) {
            return std::nullopt;
        }
        const PgResult snapshot = execChecked(conn, "SELECT txid_current_snapshot()::text");
        return std::string(PQgetvalue(snapshot.get(), 0, 0));
    });
}

std::vector<ColumnInfo> PostgresEngine::columnsOf(PGconn* conn, const PGresult* description) {
    const int count = PQnfields(description);
    std::vector<unsigned int> tables;
    for (int i = 0; i < count; ++i) {
        if (const Oid table = PQftable(description, i); table != InvalidOid) {
            tables.push_back(table);
        }
    }
    std::sort(tables.begin(), tables.end());
    tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
    catalog_.load(conn, tables);

    std::vector<ColumnInfo> columns(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ColumnInfo& c = columns[static_cast<std::size_t>(i)];
        c.name = PQfname(description, i);
        c.type = postgresFieldType(PQftype(description, i));
        const PgTableInfo* table = catalog_.find(PQftable(description, i));
        if (table == nullptr) {
            continue;
        }
        const int attnum = PQftablecol(description, i);
        if (const auto col = table->columns.find(attnum); col != table->columns.end()) {
            c.table = table->name;
            c.column = col->second;
            c.generated = table->generated.contains(attnum);
            const bool serial = table->autoIncrement.at(attnum);
            if (serial && (c.type == FieldType::Integer || c.type == FieldType::SmallInt)) {
                c.type = FieldType::AutoInc;
            }
        }
    }
    return columns;
}

// The statement is parsed and described, each step run again on a new
// connection when the old one was lost; both change nothing.
PostgresEngine::Described PostgresEngine::describeRows(const std::string& sql,
                                                       const std::vector<Value>& params) {
    const PgResult description =
        session_.run(Repeat::Safe, [&](PGconn* c) { return describe(c, sql, params); });
    if (PQnfields(description.get()) == 0) {
        throw DataError(noResultSet);
    }
    Described d;
    d.columns =
        session_.run(Repeat::Safe, [&](PGconn* c) { return columnsOf(c, description.get()); });
    for (int i = 0; i < PQnfields(description.get()); ++i) {
        d.storage.push_back(storageForType(PQftype(description.get(), i)));
    }
    return d;
}

// The rows are read again after a lost connection only for a plain SELECT
// (or VALUES, or TABLE), as any other statement may write.
ResultSet PostgresEngine::query(const std::string& sql, const std::vector<Value>& params) {
    Described d = describeRows(sql, params);
    ResultSet result;
    result.columns = std::move(d.columns);
    const Repeat repeat = copyOutStatement(sql) ? Repeat::Safe : Repeat::Unsafe;
    session_.run(repeat, [&](PGconn* c) {
        result.rows = Snapshot(result.columns.size());
        fetchRows(c, sql, params, d.storage, result.rows);
    });
    return result;
}

// A plain SELECT (or VALUES, or TABLE) is read in steps on a session of its
// own. Inside the user's transaction a statement must see what the
// transaction wrote, and any other statement may write: those are read at
// once on this session.
SteppedResult PostgresEngine::openInSteps(const std::string& sql, const std::vector<Value>& params,
                                          std::size_t firstRows) {
    if (!copyOutStatement(sql) || inTransaction()) {
        return Engine::openInSteps(sql, params, firstRows);
    }
    return readStatement(sql, params, firstRows);
}

// A table view of a table with a primary key is read through the COPY form
// of its SELECT (the key's index gives the rows in order at once), any
// other as a statement; inside the user's transaction at once.
SteppedResult PostgresEngine::openTable(const TableRead& read, std::size_t firstRows) {
    if (read.from) {
        return Engine::openTable(read, firstRows); // a statement with the key bound
    }
    const std::string sql = tableReadSql(read, quoteIdentifier);
    if (inTransaction()) {
        return Engine::openInSteps(sql, {}, firstRows);
    }
    if (read.orderKey.empty()) {
        return readStatement(sql, {}, firstRows);
    }
    Described d = describeRows(sql, {});
    SteppedResult result{std::move(d.columns), Snapshot(0), nullptr};
    result.rows = Snapshot(result.columns.size());
    auto stream =
        PostgresTableStream::open(cs_, "COPY (" + sql + ") TO STDOUT", std::move(d.storage));
    if (!stream) {
        return Engine::openInSteps(sql, {}, firstRows);
    }
    if (stream->readFirst(result.rows, firstRows)) {
        stream->expectRows(rowsEstimated(read.table));
        result.rest = std::move(stream);
    }
    return result;
}

// Reads a statement that only reads in single-row mode on a session of its
// own; at once on this session when no session can be made.
SteppedResult PostgresEngine::readStatement(const std::string& sql,
                                            const std::vector<Value>& params,
                                            std::size_t firstRows) {
    Described d = describeRows(sql, params);
    SteppedResult result{std::move(d.columns), Snapshot(0), nullptr};
    result.rows = Snapshot(result.columns.size());
    auto stream = PostgresStatementStream::open(cs_, sql, params, std::move(d.storage));
    if (!stream) {
        return Engine::openInSteps(sql, params, firstRows);
    }
    if (stream->readFirst(result.rows, firstRows)) {
        result.rest = std::move(stream);
    }
    return result;
}

bool PostgresEngine::inTransaction() {
    return session_.run(Repeat::Safe,
                        [](PGconn* c) { return PQtransactionStatus(c) != PQTRANS_IDLE; });
}

// The server's estimate of the table's rows (from its last analysis), with
// some to spare; 0 when it has none.
std::size_t PostgresEngine::rowsEstimated(const std::string& table) {
    return session_.run(Repeat::Safe, [&](PGconn* c) -> std::size_t {
        const unsigned int oid = catalog_.byName(c, table).oid;
        const PgParams bound({Value::integer(oid)});
        const PgResult r(PQexecParams(c,
                                      "SELECT greatest(reltuples, 0)::bigint FROM pg_class "
                                      "WHERE oid = $1::bigint::oid",
                                      bound.count(), nullptr, bound.values(), bound.lengths(),
                                      bound.formats(), 0));
        if (!resultSucceeded(r.get()) || PQntuples(r.get()) != 1) {
            return 0;
        }
        const auto rows = static_cast<std::size_t>(std::atoll(PQgetvalue(r.get(), 0, 0)));
        return rows + rows / 16;
    });
}

// Statements are taken as writes (SELECT ... INTO is one): never run twice.
long long PostgresEngine::execute(const std::string& sql, const std::vector<Value>& params) {
    return session_.run(Repeat::Unsafe, [&](PGconn* c) { return runStatements(c, sql, params); });
}

PgResult PostgresEngine::write(PGconn* conn, const WriteStatement& s, const PgTableInfo& table,
                               const RowEdit& edit) {
    const PgParams bound(s.params);
    PgResult result(PQexecParams(conn, s.sql.c_str(), bound.count(), nullptr, bound.values(),
                                 bound.lengths(), bound.formats(), 0));
    if (!resultSucceeded(result.get())) {
        throw writeError(conn, result.get(), table, edit);
    }
    return result;
}

// The first column of the result that its table no longer has.
std::string missingColumn(PGconn* conn, const PgTableInfo& table, const RowEdit& edit) {
    const PgResult now = execChecked(conn,
                                     "SELECT attname FROM pg_attribute WHERE attrelid = $1 "
                                     "AND attnum > 0 AND NOT attisdropped",
                                     {std::to_string(table.oid)});
    for (const ColumnInfo& c : *edit.columns) {
        bool present = c.column.empty() || c.table != edit.table;
        for (int r = 0; r < PQntuples(now.get()) && !present; ++r) {
            present = c.column == PQgetvalue(now.get(), r, 0);
        }
        if (!present) {
            return c.column;
        }
    }
    return {};
}

// The key referencing the edited row that the server's report of a refusal
// names, when the edit takes away the values that key refers to.
std::vector<ForeignKey> keyNamedIn(PGconn* conn, const PGresult* result, const RowEdit& edit) {
    const char* constraint = PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME);
    if (constraint == nullptr) {
        return {};
    }
    std::vector<ForeignKey> named;
    try {
        for (ForeignKey& key : PostgresCatalog::foreignKeys(conn, edit.table, true)) {
            if (key.name == constraint && takesReferencedValues(edit, key)) {
                named.push_back(std::move(key));
            }
        }
    } catch (const DataError&) {
        // in a failed transaction block the catalogue cannot be read
    }
    return named;
}

// A locked row and a column renamed since the rows were read get messages
// that say so, a row still referred to names the referring table; other
// failures keep the server's text.
DataError PostgresEngine::writeError(PGconn* conn, const PGresult* result, const PgTableInfo& table,
                                     const RowEdit& edit) {
    DataError server = resultError(result, conn);
    const std::string_view code = server.nativeCode();
    if (code == lockNotAvailable) {
        return DataError("The row is locked by another session; nothing was written. Try again "
                         "when it is free.\n" +
                             std::string(server.what()),
                         ErrorKind::Conflict, server.nativeCode());
    }
    if (code == foreignKeyViolation) {
        return withReferrers(server, keyNamedIn(conn, result, edit));
    }
    if (code == undefinedColumn) {
        const std::string column = missingColumn(conn, table, edit);
        return column.empty() ? server
                              : DataError(columnGoneText(column, edit.table), server.kind(),
                                          server.nativeCode());
    }
    return server;
}

std::vector<Value> PostgresEngine::writeReturning(const WriteStatement& s, const PgTableInfo& table,
                                                  const RowEdit& edit,
                                                  const std::string& whenNoRow) {
    const PgResult result =
        session_.run(Repeat::Unsafe, [&](PGconn* c) { return write(c, s, table, edit); });
    if (PQntuples(result.get()) == 0) {
        throw DataError(whenNoRow, ErrorKind::Conflict);
    }
    std::vector<Value> row = edit.current;
    for (std::size_t r = 0; r < s.returned.size(); ++r) {
        const int col = static_cast<int>(r);
        const PgStorage storage = storageForType(PQftype(result.get(), col));
        row.at(s.returned[r]) = PQgetisnull(result.get(), 0, col)
                                    ? Value::null()
                                    : pgCellValue(storage, PQgetvalue(result.get(), 0, col),
                                                  PQgetlength(result.get(), 0, col));
    }
    return row;
}

const PgTableInfo& PostgresEngine::tableOf(const RowEdit& edit) {
    return session_.run(Repeat::Safe, [&](PGconn* c) -> const PgTableInfo& {
        return catalog_.byName(c, edit.table);
    });
}

std::vector<Value> PostgresEngine::updateRow(const RowEdit& edit) {
    const PgTableInfo& table = tableOf(edit);
    const PostgresRowWriter writer(table, edit);
    return writeReturning(writer.update(), table, edit, rowGoneText(edit.table));
}

std::vector<Value> PostgresEngine::insertRow(const RowEdit& edit) {
    const PgTableInfo& table = tableOf(edit);
    const PostgresRowWriter writer(table, edit);
    return writeReturning(writer.insert(), table, edit, "The new row was not inserted");
}

void PostgresEngine::deleteRow(const RowEdit& edit) {
    const PgTableInfo& table = tableOf(edit);
    const PostgresRowWriter writer(table, edit);
    const PgResult result = session_.run(
        Repeat::Unsafe, [&](PGconn* c) { return write(c, writer.remove(), table, edit); });
    if (std::atoll(PQcmdTuples(result.get())) == 0) {
        throw DataError(rowGoneText(edit.table), ErrorKind::Conflict);
    }
}

} // namespace

std::unique_ptr<Engine> openPostgresEngine(const ConnectionString& cs) {
    return std::make_unique<PostgresEngine>(cs);
}

std::string PostgresEngine::readOnlyReason(const std::vector<ColumnInfo>& columns,
                                           const std::string& table) {
    return writerRefusal(columns, table, [&](const RowEdit& edit) {
        const PostgresRowWriter writer(tableOf(edit), edit);
    });
}

} // namespace vdata
