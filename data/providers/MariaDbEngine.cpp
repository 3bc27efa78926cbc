#include "data/providers/MariaDbEngine.h"

#include "data/providers/MariaDbCatalog.h"
#include "data/providers/MariaDbRowWriter.h"
#include "data/providers/MariaDbSession.h"
#include "data/providers/MariaDbStatement.h"
#include "data/providers/MariaDbTableStream.h"
#include "data/service/Dialect.h"
#include "data/service/SqlLexer.h"
#include "data/service/TextHelpers.h"

#include <mysqld_error.h>

#include <algorithm>
#include <map>

namespace vdata {

namespace {

const char* const noResultSet = "CommandText does not return a result set";

using Repeat = MariaDbSession::Repeat;

// A plain SELECT (or VALUES, or TABLE) changes nothing, so it may run again
// on a new connection when the old one was lost; any other text may write.
Repeat repeatOf(const std::string& sql) {
    for (const SqlToken& t : lexSql(sql, SqlFamily::MySql)) {
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

DataError lockedRow(const DataError& e) {
    return DataError("The row is locked by another session; nothing was written. Try again when "
                     "it is free.\n" +
                         std::string(e.what()),
                     ErrorKind::Conflict, e.nativeCode());
}

class MariaDbEngine final : public Engine {
public:
    explicit MariaDbEngine(const ConnectionString& cs) : cs_(cs), session_(cs) {}

    void close() noexcept override { session_.close(); }
    bool isOpen() const override { return session_.isOpen(); }

    std::vector<std::string> listTables() override {
        return session_.run(Repeat::Safe,
                            [&](MYSQL* m) { return mariadbcatalog::tableNames(session_, m); });
    }
    std::vector<std::string> listCatalogs() override {
        return session_.run(Repeat::Safe,
                            [&](MYSQL* m) { return mariadbcatalog::databaseNames(session_, m); });
    }
    std::vector<std::string> tableOrderKey(const std::string& table) override {
        return tableInfo(table).key;
    }
    std::vector<ForeignKey> foreignKeysOf(const std::string& table) override {
        return keys(table, false);
    }
    std::vector<ForeignKey> keysReferencing(const std::string& table) override {
        return keys(table, true);
    }

    // MariaDB compares column names without regard to case.
    SchemaCatalog readCatalog() override {
        SchemaCatalog catalog = emptyCatalog();
        catalog.functions.insert(catalog.functions.end(),
                                 {"CONCAT", "DATE_FORMAT", "GROUP_CONCAT", "IFNULL", "NOW",
                                  "SUBSTRING", "JSON_EXTRACT"});
        catalog.tables = session_.run(
            Repeat::Safe, [&](MYSQL* m) { return mariadbcatalog::listedColumns(session_, m); });
        catalog.keys = keys({}, false);
        catalog.buildIndex();
        return catalog;
    }

    std::string rewrite(const std::string& sql) const override {
        return bracketsToQuotes(rewriteTop(sql), '`');
    }
    std::string placeholder(int) const override { return "?"; }
    SqlFamily sqlFamily() const override { return SqlFamily::MySql; }

    ResultSet query(const std::string& sql, const std::vector<Value>& params) override;
    SteppedResult openInSteps(const std::string& sql, const std::vector<Value>& params,
                              std::size_t firstRows) override;
    SteppedResult openTable(const TableRead& read, std::size_t firstRows) override;
    bool returnsRows(const std::string& sql) override {
        return session_.run(Repeat::Safe, [&](MYSQL* m) {
            return MariaDbStatement(session_, m, sql).returnsRows();
        });
    }
    long long execute(const std::string& sql, const std::vector<Value>& params) override;

    std::vector<Value> updateRow(const RowEdit& edit) override;
    std::vector<Value> insertRow(const RowEdit& edit) override;
    void deleteRow(const RowEdit& edit) override;
    std::string readOnlyReason(const std::vector<ColumnInfo>& columns,
                               const std::string& table) override;

private:
    MariaDbTableInfo tableInfo(const std::string& table) {
        return session_.run(Repeat::Safe,
                            [&](MYSQL* m) { return mariadbcatalog::table(session_, m, table); });
    }
    std::vector<ForeignKey> keys(const std::string& table, bool referencing) {
        return session_.run(Repeat::Safe, [&](MYSQL* m) {
            return mariadbcatalog::foreignKeys(session_, m, table, referencing);
        });
    }
    void markGenerated(std::vector<ColumnInfo>& columns);
    SteppedResult readInSteps(const std::string& sql, const std::vector<Value>& params,
                              std::size_t firstRows, const std::string& table);
    std::size_t rowsEstimated(const std::string& table);
    long long write(const WriteStatement& s, unsigned long long* insertId = nullptr);
    std::vector<Value> readBack(const MariaDbRowWriter& writer, const RowEdit& edit,
                                const RowKey& key);
    MariaDbTableInfo currentTable(const RowEdit& edit);

    ConnectionString cs_; // for the sessions that read tables in steps
    MariaDbSession session_;
};

// The generated columns of the tables a result reads from are never written.
void MariaDbEngine::markGenerated(std::vector<ColumnInfo>& columns) {
    std::map<std::string, std::vector<std::string>> generated;
    for (ColumnInfo& c : columns) {
        if (c.table.empty()) {
            continue;
        }
        if (!generated.contains(c.table)) {
            try {
                generated[c.table] = tableInfo(c.table).generated;
            } catch (const DataError& e) {
                if (e.kind() == ErrorKind::Connection) {
                    throw;
                }
                generated[c.table] = {}; // a derived table: not a base table
            }
        }
        const auto& names = generated[c.table];
        c.generated = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return equalsIgnoreCase(n, c.column);
        });
    }
}

ResultSet MariaDbEngine::query(const std::string& sql, const std::vector<Value>& params) {
    ResultSet result = session_.run(repeatOf(sql), [&](MYSQL* m) {
        MariaDbStatement stmt(session_, m, sql);
        if (!stmt.returnsRows()) {
            throw DataError(noResultSet);
        }
        stmt.execute(params);
        MariaDbRow row(stmt.get());
        ResultSet r;
        r.columns = row.columns();
        r.rows = Snapshot(r.columns.size());
        stmt.fetchAll(row, r.rows);
        return r;
    });
    markGenerated(result.columns);
    return result;
}

// A plain SELECT (or VALUES, or TABLE) is read in steps on a session of its
// own; any other statement may write, and is read at once on this session.
SteppedResult MariaDbEngine::openInSteps(const std::string& sql, const std::vector<Value>& params,
                                         std::size_t firstRows) {
    if (repeatOf(sql) != Repeat::Safe) {
        return Engine::openInSteps(sql, params, firstRows);
    }
    return readInSteps(sql, params, firstRows, {});
}

SteppedResult MariaDbEngine::openTable(const TableRead& read, std::size_t firstRows) {
    if (read.from) {
        return Engine::openTable(read, firstRows);
    }
    return readInSteps(tableReadSql(read, backtickQuoted), {}, firstRows, read.table);
}

// Inside the user's transaction a statement must see what the transaction
// wrote: it is read at once on this session. The rows of `table`, when
// given, are told the stream as it expects them.
SteppedResult MariaDbEngine::readInSteps(const std::string& sql, const std::vector<Value>& params,
                                         std::size_t firstRows, const std::string& table) {
    session_.ready();
    if (session_.inTransaction()) {
        return Engine::openInSteps(sql, params, firstRows);
    }
    auto stream = MariaDbTableStream::open(cs_, sql, params);
    if (!stream) {
        return Engine::openInSteps(sql, params, firstRows);
    }
    SteppedResult result;
    result.columns = stream->columns();
    markGenerated(result.columns);
    result.rows = Snapshot(result.columns.size());
    if (!stream->readFirst(result.rows, firstRows)) {
        return result;
    }
    if (!table.empty()) {
        stream->expectRows(rowsEstimated(table));
    }
    result.rest = std::move(stream);
    return result;
}

// The server's estimate of the table's rows, with some to spare; 0 when it
// has none.
std::size_t MariaDbEngine::rowsEstimated(const std::string& table) {
    const Snapshot estimate = session_.run(Repeat::Safe, [&](MYSQL* m) {
        return selectRows(session_, m,
                          "SELECT TABLE_ROWS FROM information_schema.TABLES WHERE "
                          "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?",
                          {Value::text(table)});
    });
    if (estimate.rowCount() != 1) {
        return 0;
    }
    const auto rows = static_cast<std::size_t>(std::max<long long>(estimate.value(0, 0).i, 0));
    return rows + rows / 8;
}

// Without parameters the text may hold several statements; with them it is
// one prepared statement. Statements are taken as writes: never run twice.
long long MariaDbEngine::execute(const std::string& sql, const std::vector<Value>& params) {
    return session_.run(Repeat::Unsafe, [&](MYSQL* m) -> long long {
        if (params.empty()) {
            return runText(session_, m, sql);
        }
        MariaDbStatement stmt(session_, m, sql);
        stmt.execute(params);
        if (stmt.returnsRows()) {
            MariaDbRow row(stmt.get());
            Snapshot dropped(row.columns().size());
            stmt.fetchAll(row, dropped);
            return -1;
        }
        return stmt.affectedRows();
    });
}

long long MariaDbEngine::write(const WriteStatement& s, unsigned long long* insertId) {
    return session_.run(Repeat::Unsafe, [&](MYSQL* m) {
        MariaDbStatement stmt(session_, m, s.sql);
        try {
            stmt.execute(s.params);
        } catch (const DataError& e) {
            if (e.nativeCode() == std::to_string(ER_LOCK_WAIT_TIMEOUT)) {
                throw lockedRow(e);
            }
            throw;
        }
        if (insertId != nullptr) {
            *insertId = stmt.insertId();
        }
        return stmt.affectedRows();
    });
}

// The row is read again by its key, so that defaults and values the server
// changed show.
std::vector<Value> MariaDbEngine::readBack(const MariaDbRowWriter& writer, const RowEdit& edit,
                                           const RowKey& key) {
    std::vector<Value> row = edit.current;
    const WriteStatement s = writer.sql().select(key);
    const Snapshot read = session_.run(
        Repeat::Safe, [&](MYSQL* m) { return selectRows(session_, m, s.sql, s.params); });
    if (read.rowCount() == 0) {
        return row;
    }
    for (std::size_t r = 0; r < s.returned.size(); ++r) {
        row.at(s.returned[r]) = read.value(0, r);
    }
    return row;
}

// A column of the result that the table no longer has stops the write
// before it writes anything.
MariaDbTableInfo MariaDbEngine::currentTable(const RowEdit& edit) {
    MariaDbTableInfo table = tableInfo(edit.table);
    for (const ColumnInfo& c : *edit.columns) {
        if (c.column.empty() || !equalsIgnoreCase(c.table, edit.table)) {
            continue;
        }
        const bool present =
            std::any_of(table.columns.begin(), table.columns.end(),
                        [&](const std::string& name) { return equalsIgnoreCase(name, c.column); });
        if (!present) {
            throw DataError(columnGoneText(c.column, edit.table));
        }
    }
    return table;
}

std::vector<Value> MariaDbEngine::updateRow(const RowEdit& edit) {
    const MariaDbTableInfo table = currentTable(edit);
    const MariaDbRowWriter writer(table, edit);
    if (writer.sql().hasChanges() &&
        write(writer.sql().update(writer.sql().withUnchanged(writer.key()))) == 0) {
        throw DataError(rowGoneText(edit.table), ErrorKind::Conflict);
    }
    return readBackAfterWrite(edit.current,
                              [&] { return readBack(writer, edit, writer.keyOf(edit.current)); });
}

// A one-column key left empty is numbered by the server: the statement
// tells the number.
std::vector<Value> MariaDbEngine::insertRow(const RowEdit& edit) {
    const MariaDbTableInfo table = currentTable(edit);
    const MariaDbRowWriter writer(table, edit);
    unsigned long long insertId = 0;
    if (write(writer.sql().insert(), &insertId) == 0) {
        throw DataError("The new row was not inserted");
    }
    return readBackAfterWrite(edit.current, [&] {
        std::vector<Value> values = edit.current;
        if (const int key = writer.singleKeyColumn();
            key >= 0 && values.at(key).isNull() && insertId != 0) {
            values.at(key) = Value::integer(static_cast<long long>(insertId));
        }
        return readBack(writer, edit, writer.keyOf(values));
    });
}

void MariaDbEngine::deleteRow(const RowEdit& edit) {
    const MariaDbTableInfo table = tableInfo(edit.table);
    const MariaDbRowWriter writer(table, edit);
    if (write(writer.sql().remove(writer.key())) == 0) {
        throw DataError(rowGoneText(edit.table), ErrorKind::Conflict);
    }
}

std::string MariaDbEngine::readOnlyReason(const std::vector<ColumnInfo>& columns,
                                          const std::string& table) {
    return writerRefusal(columns, table, [&](const RowEdit& edit) {
        const MariaDbRowWriter writer(tableInfo(table), edit);
    });
}

} // namespace

std::unique_ptr<Engine> openMariaDbEngine(const ConnectionString& cs) {
    return std::make_unique<MariaDbEngine>(cs);
}

} // namespace vdata
