#include "data/providers/SqliteEngine.h"

#include "data/providers/SqliteApi.h"
#include "data/providers/SqliteCatalog.h"
#include "data/providers/SqliteReadAhead.h"
#include "data/providers/SqliteRows.h"
#include "data/providers/SqliteStatement.h"
#include "data/providers/SqliteStatementStream.h"
#include "data/providers/SqliteTableStream.h"
#include "data/providers/TypeMap.h"
#include "data/service/Dialect.h"
#include "data/service/Errors.h"
#include "data/service/Progress.h"
#include "data/service/RefusedByKey.h"
#include "data/service/WriteBackSql.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>

namespace vdata {
namespace {

// What PRAGMA table_xinfo gives as "hidden" for a VIRTUAL and a STORED
// generated column.
constexpr std::int64_t hiddenVirtual = 2;
constexpr std::int64_t hiddenStored = 3;

const char* const singleStatementOnly = "Only a single statement can be opened as a query.";

struct TableInfo {
    std::vector<std::string> columns;
    std::vector<std::string> generated;  // lower case
    std::vector<std::string> primaryKey; // in key order
    std::string rowidAlias;              // the INTEGER PRIMARY KEY column, if any
    bool withoutRowid = false;
    bool view = false;
    // The name that reaches the hidden rowid: rowid, _rowid_ or oid, the
    // first one no column of the table takes for itself. Empty for a
    // WITHOUT ROWID table and for one whose columns take all three names.
    std::string rowid;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool onlyBlanks(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](unsigned char c) { return std::isspace(c) != 0 || c == ';'; });
}

// The type of an expression column, from its first non-NULL value.
FieldType typeByValue(const Snapshot& rows, std::size_t col) {
    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        switch (rows.kind(r, col)) {
        case Value::Kind::Null:
            continue;
        case Value::Kind::Int: {
            const std::int64_t v = rows.intAt(r, col);
            const bool fits = v >= std::numeric_limits<std::int32_t>::min() &&
                              v <= std::numeric_limits<std::int32_t>::max();
            return fits ? FieldType::Integer : FieldType::LargeInt;
        }
        case Value::Kind::Real:
            return FieldType::Float;
        case Value::Kind::Text:
            return FieldType::WideString;
        case Value::Kind::Blob:
            return FieldType::Bytes;
        }
    }
    return FieldType::WideString;
}

// While it lives, SQLite asks the progress callback every so many steps of
// its virtual machine, so that a statement that works long before its first
// row (a sort, a grouping) can be stopped too: a request to stop interrupts
// the statement, which then fails as cancelled.
class ProgressHandler {
public:
    ProgressHandler(const SqliteApi& api, sqlite3* db, const std::size_t& done)
        : api_(api), db_(db), done_(done) {
        api_.progress_handler(db_, stepsBetweenCalls, &ProgressHandler::ask, this);
    }
    ~ProgressHandler() { api_.progress_handler(db_, 0, nullptr, nullptr); }
    ProgressHandler(const ProgressHandler&) = delete;
    ProgressHandler& operator=(const ProgressHandler&) = delete;

private:
    static constexpr int stepsBetweenCalls = 100000;

    static int ask(void* self) {
        const auto* handler = static_cast<const ProgressHandler*>(self);
        return progressContinues(handler->done_) ? 0 : 1;
    }

    const SqliteApi& api_;
    sqlite3* db_;
    const std::size_t& done_;
};

class SqliteEngine : public Engine {
public:
    SqliteEngine(const SqliteApi& api, sqlite3* db, std::string path = {},
                 std::string password = {})
        : api_(api), db_(db), path_(std::move(path)), password_(std::move(password)) {}
    ~SqliteEngine() override { close(); }

    void close() noexcept override {
        if (db_) {
            api_.close_v2(db_);
            db_ = nullptr;
        }
    }

    bool isOpen() const override { return db_ != nullptr; }

    std::vector<std::string> listTables() override { return userObjects("'table','view'"); }

    std::vector<std::string> listCatalogs() override { return strings("PRAGMA database_list", 1); }

    // foreign_key_list numbers a table's keys from the last declared one;
    // a key that names no referenced columns references the primary key.
    std::vector<ForeignKey> foreignKeysOf(const std::string& table) override {
        std::map<std::int64_t, ForeignKey, std::greater<>> byId;
        SqliteStatement stmt(api_, live(),
                             "PRAGMA foreign_key_list(" + quoteIdentifier(table) + ")");
        while (stmt.step()) {
            ForeignKey& key = byId[stmt.column(0).i];
            key.table = table;
            key.referencedTable = stmt.column(2).toText();
            key.columns.push_back(stmt.column(3).toText());
            key.referencedColumns.push_back(stmt.column(4).toText());
        }
        std::vector<ForeignKey> keys;
        for (auto& [id, key] : byId) {
            if (key.referencedColumns.front().empty()) {
                key.referencedColumns = tableInfo(key.referencedTable).primaryKey;
            }
            keys.push_back(std::move(key));
        }
        return keys;
    }

    // SQLCipher's older core has no pragma functions to join: there the
    // catalogue is read table by table.
    SchemaCatalog readCatalog() override {
        try {
            return readSqliteCatalog(api_, live());
        } catch (const DataError&) {
            SchemaCatalog catalog = Engine::readCatalog();
            catalog.quoting = NameQuoting();
            return catalog;
        }
    }

    std::vector<ForeignKey> keysReferencing(const std::string& table) override {
        std::vector<ForeignKey> keys;
        for (const std::string& other : userObjects("'table'")) {
            for (ForeignKey& key : foreignKeysOf(other)) {
                if (lower(key.referencedTable) == lower(table)) {
                    keys.push_back(std::move(key));
                }
            }
        }
        return keys;
    }

    // SQLite reads [x] itself but ends it at the first ']'.
    std::string rewrite(const std::string& sql) const override {
        return escapedBracketsToQuotes(rewriteTop(sql));
    }

    std::string placeholder(int n) const override { return "?" + std::to_string(n); }
    SqlFamily sqlFamily() const override { return SqlFamily::Sqlite; }

    // A statement that writes first ends the reads in steps (see
    // SqliteStatementStream).
    ResultSet query(const std::string& sql, const std::vector<Value>& params) override {
        const auto stmt = prepareRows(sql);
        if (!api_.stmt_readonly(stmt->handle())) {
            openReads_->finishAll();
        }
        stmt->bindAll(params);
        ResultSet result{describe(*stmt), Snapshot(0)};
        result.rows = Snapshot(result.columns.size());
        std::size_t done = 0;
        const ProgressHandler asking(api_, live(), done);
        copyRows(*stmt, result.rows, done);
        typeByValues(result.columns, result.rows);
        return result;
    }

    // A table's rows are in the order of its rowid, which is the order of
    // its INTEGER PRIMARY KEY column where it has one.
    std::vector<std::string> tableOrderKey(const std::string& table) override {
        const TableInfo& info = tableInfo(table);
        if (info.view || info.rowid.empty() || info.rowidAlias.empty()) {
            return {};
        }
        return {info.rowidAlias};
    }

    // A rowid table's rows are read in chunks by rowid (the order it keeps
    // them in), from the start or from a key of the rowid's alias, the first
    // ones here and the rest by a thread of its own (in a file; on this
    // connection in memory); any other table at once, as the file's read
    // lock would stay for the whole read. The columns are described by the
    // chunks' statement, after the rowid it leads with.
    SteppedResult openTable(const TableRead& read, std::size_t firstRows) override {
        const TableInfo& info = tableInfo(read.table);
        const bool byRowid = !info.view && read.orderKey == tableOrderKey(read.table);
        const std::optional<std::int64_t> after = rowidBefore(read.from);
        if (read.from && !after) {
            return Engine::openTable(read, firstRows);
        }
        const std::string rowid = byRowid ? info.rowid : std::string();
        const std::string quoted = quoteIdentifier(read.table);
        auto stream =
            rowid.empty() ? nullptr : SqliteTableStream::open(api_, live(), quoted, rowid, after);
        if (!stream) {
            return Engine::openTable(read, firstRows);
        }
        SteppedResult result{describe(stream->statement(), 1), Snapshot(0), nullptr};
        result.rows = Snapshot(result.columns.size());
        const bool more = stream->readMore(result.rows, firstRows);
        typeByValues(result.columns, result.rows);
        if (more && !path_.empty()) {
            result.rest = std::make_unique<SqliteReadAhead>(
                SqliteReadAhead::Source{&api_, path_, password_, quoted, rowid}, stream->last(),
                stream->largest(), result.columns.size(), rowsTheFileCanHold());
        } else if (more) {
            result.rest = std::move(stream);
        }
        return result;
    }

    // The rowid a read from `from` starts after; none for a value that is
    // not an integer rowid.
    static std::optional<std::int64_t> rowidBefore(const std::optional<Value>& from) {
        if (!from || from->kind != Value::Kind::Int ||
            from->i == std::numeric_limits<std::int64_t>::min()) {
            return std::nullopt;
        }
        return from->i - 1;
    }

    // A statement that only reads is read in steps as it runs (see
    // SqliteStatementStream); one that writes at once.
    SteppedResult openInSteps(const std::string& sql, const std::vector<Value>& params,
                              std::size_t firstRows) override {
        return openStatement(sql, params, firstRows);
    }

    bool returnsRows(const std::string& sql) override {
        std::string_view tail;
        SqliteStatement stmt(api_, live(), sql, &tail);
        if (!onlyBlanks(tail)) {
            throw DataError(singleStatementOnly);
        }
        return !stmt.empty() && api_.column_count(stmt.handle()) > 0;
    }

    // A long statement can be stopped through the progress callback. Reads in
    // steps end first (see SqliteStatementStream).
    long long execute(const std::string& sql, const std::vector<Value>& params) override {
        openReads_->finishAll();
        std::string_view rest = sql;
        long long affected = 0;
        bool changing = false;
        bool any = false;
        const std::size_t done = 0;
        const ProgressHandler asking(api_, live(), done);
        while (!rest.empty()) {
            const auto [ran, changed] = executeFirst(sql, rest, params);
            any = any || ran;
            if (changed) {
                changing = true;
                affected += *changed;
            }
        }
        if (!any) {
            throw DataError("Command text was not set for the command object.");
        }
        return changing ? affected : -1;
    }

    struct Executed {
        bool ran = false;
        std::optional<long long> changed; // rows changed by a statement that writes
    };

    // Runs the first statement of `rest` and leaves the others in it. A
    // failure's place in the statement becomes its place in the whole text.
    Executed executeFirst(std::string_view sql, std::string_view& rest,
                          const std::vector<Value>& params) {
        const std::string_view text = rest;
        try {
            std::string_view tail;
            SqliteStatement stmt(api_, live(), text, &tail);
            rest = tail;
            if (stmt.empty()) {
                return {};
            }
            stmt.bindAll(params);
            const int before = api_.total_changes(db_);
            while (stmt.step()) {
            }
            if (api_.stmt_readonly(stmt.handle())) {
                return {true, std::nullopt};
            }
            return {true, api_.total_changes(db_) != before ? api_.changes(db_) : 0};
        } catch (DataError& e) {
            if (e.place()) {
                SqlErrorPlace place = *e.place();
                place.value += static_cast<std::size_t>(text.data() - sql.data());
                e.setPlace(place);
            }
            throw;
        }
    }

    std::vector<Value> updateRow(const RowEdit& edit) override {
        openReads_->finishAll();
        const TableInfo& info = currentTableInfo(edit);
        const WriteBackSql sql(edit, dialect(edit));
        const RowKey key = locate(edit, info, sql, true);
        if (!sql.hasChanges()) {
            return edit.current;
        }
        runRefusable(sql.update(key), edit);
        return readBackAfterWrite(
            edit.current, [&] { return readBack(edit, sql, keyAfterUpdate(edit, info, key)); });
    }

    std::vector<Value> insertRow(const RowEdit& edit) override {
        openReads_->finishAll();
        const TableInfo& info = currentTableInfo(edit);
        const WriteBackSql sql(edit, dialect(edit));
        runChange(sql.insert(), edit.table);
        RowKey key;
        if (!info.rowid.empty()) {
            key.add(info.rowid, Value::integer(api_.last_insert_rowid(db_)));
        } else {
            key = keyByPrimaryKey(edit, info, edit.current);
        }
        return readBackAfterWrite(edit.current, [&] { return readBack(edit, sql, key); });
    }

    std::string readOnlyReason(const std::vector<ColumnInfo>& columns,
                               const std::string& table) override {
        const TableInfo& info = tableInfo(table);
        RowEdit edit;
        edit.columns = &columns;
        edit.table = table;
        edit.original.resize(columns.size());
        if (info.rowid.empty() && keyByPrimaryKey(edit, info, edit.original).empty()) {
            return noKeyReason(info, table);
        }
        return {};
    }

    void deleteRow(const RowEdit& edit) override {
        openReads_->finishAll();
        const TableInfo& info = currentTableInfo(edit, true);
        const WriteBackSql sql(edit, dialect(edit));
        runRefusable(sql.remove(locate(edit, info, sql, false)), edit);
    }

    // data_version moves when another connection commits, schema_version on
    // any change of the schema, the change count on this connection's writes.
    std::optional<DataStamp> dataStamp() override {
        SqliteStatement others(api_, live(), "PRAGMA data_version");
        SqliteStatement schema(api_, live(), "PRAGMA schema_version");
        if (!others.step() || !schema.step()) {
            return std::nullopt;
        }
        return std::to_string(others.column(0).i) + ":" + std::to_string(schema.column(0).i) + ":" +
               std::to_string(api_.total_changes(db_));
    }

private:
    WriteBackDialect dialect(const RowEdit& edit) const {
        WriteBackDialect d;
        d.placeholder = [this](int n) { return placeholder(n); };
        d.table = quoteIdentifier(edit.table);
        d.namesFoldCase = true;
        return d;
    }

    sqlite3* live() const {
        if (!db_) {
            throw DataError("The connection is closed.", ErrorKind::Connection);
        }
        return db_;
    }

    // The one statement of `sql`, which returns rows.
    std::unique_ptr<SqliteStatement> prepareRows(const std::string& sql) {
        std::string_view tail;
        auto stmt = std::make_unique<SqliteStatement>(api_, live(), sql, &tail);
        if (stmt->empty() || api_.column_count(stmt->handle()) == 0) {
            throw DataError("CommandText does not return a result set");
        }
        if (!onlyBlanks(tail)) {
            throw DataError(singleStatementOnly);
        }
        return stmt;
    }

    // Reads the first rows of a statement that only reads; the statement
    // then stays open as the stream of the rest.
    SteppedResult openStatement(const std::string& sql, const std::vector<Value>& params,
                                std::size_t firstRows) {
        auto stmt = prepareRows(sql);
        if (!api_.stmt_readonly(stmt->handle())) {
            return Engine::openInSteps(sql, params, firstRows);
        }
        stmt->bindAll(params);
        SteppedResult result{describe(*stmt), Snapshot(0), nullptr};
        result.rows = Snapshot(result.columns.size());
        std::size_t done = 0;
        const ProgressHandler asking(api_, live(), done);
        bool more = stmt->step();
        for (; more && done < firstRows; ++done) {
            appendSqliteRow(api_, stmt->handle(), result.rows);
            more = stmt->step();
        }
        typeByValues(result.columns, result.rows);
        if (more) {
            result.rest =
                std::make_unique<SqliteStatementStream>(api_, std::move(stmt), openReads_);
        }
        return result;
    }

    // The names of the catalogue's objects of the given types, system
    // tables left out, in the order they were made.
    std::vector<std::string> userObjects(const std::string& types) {
        return strings("SELECT name FROM sqlite_master WHERE type IN (" + types +
                           ") AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                       0);
    }

    std::vector<std::string> strings(const std::string& sql, int column) {
        SqliteStatement stmt(api_, live(), sql);
        std::vector<std::string> names;
        while (stmt.step()) {
            names.push_back(stmt.column(column).toText());
        }
        return names;
    }

    // A row takes four bytes of a file at the least.
    std::size_t rowsTheFileCanHold() const {
        std::error_code failed;
        const std::uintmax_t bytes = std::filesystem::file_size(path_, failed);
        return failed ? 0 : static_cast<std::size_t>(bytes / 4);
    }

    // A column without a declared type takes the type of its first value.
    static void typeByValues(std::vector<ColumnInfo>& columns, const Snapshot& rows) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].type == FieldType::Unknown) {
                columns[c].type = typeByValue(rows, c);
            }
        }
    }

    // The statement's columns from its column `from` on.
    std::vector<ColumnInfo> describe(const SqliteStatement& stmt, int from = 0) {
        sqlite3_stmt* h = stmt.handle();
        const int count = api_.column_count(h);
        std::vector<ColumnInfo> columns(static_cast<std::size_t>(count - from));
        for (int i = from; i < count; ++i) {
            ColumnInfo& c = columns[static_cast<std::size_t>(i - from)];
            const auto text = [](const char* p) { return p ? std::string(p) : std::string(); };
            c.name = text(api_.column_name(h, i));
            c.table = text(api_.column_table_name(h, i));
            c.column = text(api_.column_origin_name(h, i));
            const bool alias = !c.table.empty() &&
                               lower(tableInfo(c.table).rowidAlias) == lower(c.column) &&
                               !c.column.empty();
            const std::string declared = text(api_.column_decltype(h, i));
            c.type = sqliteFieldType(declared, alias);
            c.scale = sqliteDeclaredScale(declared);
            c.generated = !c.table.empty() && isGenerated(tableInfo(c.table), c.column);
        }
        return columns;
    }

    void copyRows(SqliteStatement& stmt, Snapshot& rows, std::size_t& done) {
        while (stmt.step()) {
            if (++done % progressStep == 0) {
                checkProgress(done);
            }
            appendSqliteRow(api_, stmt.handle(), rows);
        }
    }

    const TableInfo& tableInfo(const std::string& table) {
        const std::string k = lower(table);
        auto it = tables_.find(k);
        if (it != tables_.end()) {
            return it->second;
        }
        TableInfo info;
        readColumns(table, info);
        SqliteStatement ddl(api_, live(), "SELECT sql, type FROM sqlite_master WHERE name = ?1");
        ddl.bindAll({Value::text(table)});
        const bool found = ddl.step();
        info.view = found && ddl.column(1).toText() == "view";
        if (found && lower(ddl.column(0).toText()).find("without rowid") != std::string::npos) {
            info.withoutRowid = true;
            info.rowidAlias.clear();
        } else {
            info.rowid = unshadowedRowidName(info.columns);
        }
        return tables_.emplace(k, std::move(info)).first->second;
    }

    // table_xinfo, unlike table_info, lists generated columns too. A library
    // older than it (SQLCipher's) gives no rows for it: table_info then.
    void readColumns(const std::string& table, TableInfo& info) {
        std::vector<std::pair<std::int64_t, std::string>> pk;
        std::string pkType;
        for (const char* pragma : {"PRAGMA table_xinfo(", "PRAGMA table_info("}) {
            SqliteStatement stmt(api_, live(), pragma + quoteIdentifier(table) + ")");
            const bool tellsHidden = api_.column_count(stmt.handle()) > 6;
            while (stmt.step()) {
                info.columns.push_back(stmt.column(1).toText());
                const std::int64_t hidden = tellsHidden ? stmt.column(6).i : 0;
                if (hidden == hiddenVirtual || hidden == hiddenStored) {
                    info.generated.push_back(lower(info.columns.back()));
                }
                if (stmt.column(5).i > 0) {
                    pk.emplace_back(stmt.column(5).i, info.columns.back());
                    pkType = lower(stmt.column(2).toText());
                }
            }
            if (!info.columns.empty()) {
                break;
            }
        }
        std::sort(pk.begin(), pk.end());
        for (auto& p : pk) {
            info.primaryKey.push_back(p.second);
        }
        if (pk.size() == 1 && pkType == "integer") {
            info.rowidAlias = info.primaryKey.front();
        }
    }

    static bool isGenerated(const TableInfo& info, const std::string& column) {
        return std::find(info.generated.begin(), info.generated.end(), lower(column)) !=
               info.generated.end();
    }

    static std::string noKeyReason(const TableInfo& info, const std::string& table) {
        if (info.withoutRowid) {
            return "The result does not hold the primary key of " + table +
                   ", so its rows cannot be changed.";
        }
        return "Table " + table +
               " has columns named rowid, _rowid_ and oid, which hide the row number, and the "
               "result does not hold its primary key, so its rows cannot be changed.";
    }

    // The table as it is now, read again before each write so that a column
    // renamed or dropped since the rows were read is reported as such, not
    // as a row someone else changed. A delete by the primary key needs only
    // the key columns; every other write names all columns of the result.
    const TableInfo& currentTableInfo(const RowEdit& edit, bool keyOnly = false) {
        tables_.erase(lower(edit.table));
        const TableInfo& info = tableInfo(edit.table);
        if (keyOnly && !keyByPrimaryKey(edit, info, edit.original).empty()) {
            return info;
        }
        for (const ColumnInfo& c : *edit.columns) {
            const bool present =
                c.column.empty() || lower(c.column) == lower(info.rowid) ||
                std::any_of(info.columns.begin(), info.columns.end(), [&](const std::string& name) {
                    return lower(name) == lower(c.column);
                });
            if (!present) {
                throw DataError(columnGoneText(c.column, edit.table));
            }
        }
        return info;
    }

    // The key by the primary key when the result holds all of its columns.
    RowKey keyByPrimaryKey(const RowEdit& edit, const TableInfo& info,
                           const std::vector<Value>& values) const {
        RowKey key;
        for (const std::string& pk : info.primaryKey) {
            const int col = resultColumn(edit, pk);
            if (col < 0) {
                return {};
            }
            key.add(pk, values[static_cast<std::size_t>(col)]);
        }
        return key;
    }

    static int resultColumn(const RowEdit& edit, const std::string& column) {
        const auto& cols = *edit.columns;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (lower(cols[i].column) == lower(column)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // Finds the row the edit started from: by the primary key when the
    // result has it, else by every original value the result holds. For an
    // update the changed columns must also still hold what was read. For
    // rowid tables the row is pinned to its rowid, so exactly one row is
    // touched; the values as read stay in the key, so that the write itself
    // tests them and a change made after this look-up is not overwritten.
    RowKey locate(const RowEdit& edit, const TableInfo& info, const WriteBackSql& sql,
                  bool unchangedToo) {
        RowKey key = keyByPrimaryKey(edit, info, edit.original);
        if (!key.empty() && unchangedToo) {
            key = sql.withUnchanged(std::move(key));
        }
        if (key.empty()) {
            if (info.rowid.empty()) {
                throw DataError(noKeyReason(info, edit.table), ErrorKind::ReadOnly);
            }
            for (std::size_t i = 0; i < edit.columns->size(); ++i) {
                key.add((*edit.columns)[i].column, edit.original[i]);
            }
        }
        if (info.rowid.empty()) {
            return key;
        }
        const WriteStatement find = sql.select(key, info.rowid);
        SqliteStatement stmt(api_, live(), find.sql + " LIMIT 1");
        stmt.bindAll(find.params);
        if (!stmt.step()) {
            throw DataError(rowGoneText(edit.table), ErrorKind::Conflict);
        }
        key.parts.insert(key.parts.begin(), {info.rowid, stmt.column(0), std::nullopt});
        return key;
    }

    // After an update the row keeps its rowid (the first part of the key
    // located) unless its INTEGER PRIMARY KEY column was changed; a WITHOUT
    // ROWID row is found by its new key.
    RowKey keyAfterUpdate(const RowEdit& edit, const TableInfo& info, const RowKey& key) const {
        if (info.rowid.empty()) {
            return keyByPrimaryKey(edit, info, edit.current);
        }
        RowKey rowid;
        rowid.add(info.rowid, key.parts.front().value);
        if (!info.rowidAlias.empty()) {
            const int col = resultColumn(edit, info.rowidAlias);
            if (col >= 0 && edit.changed[static_cast<std::size_t>(col)]) {
                rowid.parts.front().value = edit.current[static_cast<std::size_t>(col)];
            }
        }
        return rowid;
    }

    std::vector<Value> readBack(const RowEdit& edit, const WriteBackSql& sql, const RowKey& key) {
        const WriteStatement read = sql.select(key);
        SqliteStatement stmt(api_, live(), read.sql + " LIMIT 1");
        stmt.bindAll(read.params);
        std::vector<Value> row = edit.current;
        if (!stmt.step()) {
            return row; // written, but filtered away (e.g. by a view); keep what was typed
        }
        for (std::size_t r = 0; r < read.returned.size(); ++r) {
            row[read.returned[r]] = stmt.column(static_cast<int>(r));
        }
        return row;
    }

    void runChange(const WriteStatement& change, const std::string& table) {
        SqliteStatement stmt(api_, live(), change.sql);
        stmt.bindAll(change.params);
        while (stmt.step()) {
        }
        if (api_.changes(db_) == 0) {
            throw DataError(rowGoneText(table), ErrorKind::Conflict);
        }
    }

    // A change a foreign key refuses names the tables whose rows still refer
    // to the row; SQLite's own message says only that a key failed.
    void runRefusable(const WriteStatement& change, const RowEdit& edit) {
        try {
            runChange(change, edit.table);
        } catch (const DataError& refused) {
            if (refused.nativeCode() != std::to_string(SQLITE_CONSTRAINT_FOREIGNKEY)) {
                throw;
            }
            std::vector<ForeignKey> referrers;
            try {
                referrers = keysStillReferring(edit);
            } catch (const DataError&) {
                // the refusal is told as the engine gave it
            }
            throw withReferrers(refused, referrers);
        }
    }

    // The keys whose rows hold the values the edit takes away.
    std::vector<ForeignKey> keysStillReferring(const RowEdit& edit) {
        std::vector<ForeignKey> found;
        for (ForeignKey& key : keysReferencing(edit.table)) {
            const auto values = referencedValues(edit, key);
            if (values && takesReferencedValues(edit, key) && anyRowHolds(key, *values)) {
                found.push_back(std::move(key));
            }
        }
        return found;
    }

    bool anyRowHolds(const ForeignKey& key, const std::vector<Value>& values) {
        std::string sql = "SELECT 1 FROM " + quoteIdentifier(key.table) + " WHERE ";
        for (std::size_t i = 0; i < key.columns.size(); ++i) {
            sql += (i > 0 ? " AND " : "") + quoteIdentifier(key.columns[i]) + " = ?";
        }
        SqliteStatement stmt(api_, live(), sql + " LIMIT 1");
        stmt.bindAll(values);
        return stmt.step();
    }

    const SqliteApi& api_;
    sqlite3* db_;
    std::string path_;     // the file; empty for an in-memory database
    std::string password_; // its SQLCipher key, if any
    std::map<std::string, TableInfo> tables_;
    std::shared_ptr<SqliteOpenReads> openReads_ = std::make_shared<SqliteOpenReads>();
};

// Reading the schema is the first thing that fails on a wrong key or a file
// that is not a database at all.
void probe(const SqliteApi& api, sqlite3* db, const std::string& path, bool withPassword) {
    try {
        SqliteStatement stmt(api, db, "SELECT count(*) FROM sqlite_master");
        stmt.step();
    } catch (const DataError& e) {
        if (api.errcode(db) != SQLITE_NOTADB) {
            throw;
        }
        throw DataError(withPassword
                            ? "Not a valid password, or '" + path + "' is not a database file."
                            : "'" + path + "' is not a database file, or it is password protected.",
                        ErrorKind::NotADatabase, e.nativeCode());
    }
}

// SQLite checks declared foreign keys only on connections that ask for it.
void enforceForeignKeys(const SqliteApi& api, sqlite3* db) {
    SqliteStatement stmt(api, db, "PRAGMA foreign_keys = ON");
    stmt.step();
}

} // namespace

// A connection is only ever used by the thread that opened it, so it goes
// without the per-call mutex that otherwise costs a lock for every cell read.
constexpr int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

std::unique_ptr<Engine> openSqliteEngine(const ConnectionString& cs) {
    const std::string path = cs.value("Data Source");
    const std::string password = cs.value("Jet OLEDB:Database Password");
    const SqliteApi& api = password.empty() ? systemSqlite() : sqlCipher();
    sqlite3* db = nullptr;
    const int rc = api.open_v2(path.c_str(), &db, openFlags, nullptr);
    auto engine = std::make_unique<SqliteEngine>(api, db, path, password);
    if (rc != SQLITE_OK) {
        const std::string message = db ? api.errmsg(db) : "out of memory";
        throw DataError("Cannot open '" + path + "': " + message, ErrorKind::Connection,
                        std::to_string(rc));
    }
    if (!password.empty() &&
        api.key(db, password.data(), static_cast<int>(password.size())) != SQLITE_OK) {
        raiseSqlite(api, db);
    }
    api.busy_timeout(db, 3000);
    probe(api, db, path, !password.empty());
    enforceForeignKeys(api, db);
    return engine;
}

std::unique_ptr<Engine> openSqliteMemoryEngine(sqlite3*& db) {
    const SqliteApi& api = systemSqlite();
    db = nullptr;
    const int rc = api.open_v2(":memory:", &db, openFlags, nullptr);
    auto engine = std::make_unique<SqliteEngine>(api, db);
    if (rc != SQLITE_OK) {
        throw DataError("Cannot open an in-memory database.", ErrorKind::Connection,
                        std::to_string(rc));
    }
    return engine;
}

} // namespace vdata
