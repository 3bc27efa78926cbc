#include "data/providers/AccessEngine.h"

#include "data/providers/AccessPassword.h"
#include "data/providers/AccessReaderProcess.h"
#include "data/providers/AccessTableCopier.h"
#include "data/providers/AccessTableStream.h"
#include "data/providers/ExactArithmetic.h"
#include "data/providers/ExactArithmeticSql.h"
#include "data/providers/SqliteEngine.h"
#include "data/providers/SqliteStatement.h"
#include "data/service/Errors.h"
#include "data/service/ForeignKeyRows.h"
#include "data/service/TextHelpers.h"
#include "data/service/WriteBackSql.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace vdata {
namespace {

const char* const readOnlyText = "Access files are opened read-only.";

[[noreturn]] void refuseWrite() {
    throw DataError(readOnlyText, ErrorKind::ReadOnly);
}

// Reads an Access file through the Access reader and answers every statement
// from an in-memory SQLite database that holds the tables the statements name.
class AccessEngine : public Engine {
public:
    explicit AccessEngine(const std::string& path)
        : reader_(path), memory_(openSqliteMemoryEngine(db_)), copier_(reader_, db_) {
        addExactArithmetic(db_);
    }

    void close() noexcept override {
        copier_.stop();
        memory_->close();
    }
    bool isOpen() const override { return memory_->isOpen(); }

    std::vector<std::string> listTables() override { return reader_.tables(); }
    std::vector<std::string> listCatalogs() override { return memory_->listCatalogs(); }

    std::vector<ForeignKey> foreignKeysOf(const std::string& table) override {
        return keysWhere([&](const ForeignKey& key) { return equalsIgnoreCase(key.table, table); });
    }
    std::vector<ForeignKey> keysReferencing(const std::string& table) override {
        return keysWhere(
            [&](const ForeignKey& key) { return equalsIgnoreCase(key.referencedTable, table); });
    }

    // The columns come from the file's table definitions: no table is
    // copied for it. A file without relationships gives no keys.
    SchemaCatalog readCatalog() override {
        SchemaCatalog catalog = emptyCatalog();
        for (const std::string& table : reader_.tables()) {
            SchemaCatalog::Table& entry = catalog.tables.emplace_back();
            entry.name = table;
            for (const AccessColumn& column : reader_.columns(table)) {
                entry.columns.push_back(column.name);
            }
        }
        try {
            catalog.keys = keysWhere([](const ForeignKey&) { return true; });
        } catch (const DataError&) {
            catalog.keys.clear();
        }
        catalog.buildIndex();
        return catalog;
    }

    std::string rewrite(const std::string& sql) const override { return memory_->rewrite(sql); }
    std::string placeholder(int n) const override { return memory_->placeholder(n); }
    SqlFamily sqlFamily() const override { return SqlFamily::Access; }

    ResultSet query(const std::string& sql, const std::vector<Value>& params) override {
        prepare(sql);
        return memory_->query(withExactArithmetic(sql), params);
    }

    // A table view of a table not copied yet shows its rows as the reader
    // sends them: the first ones here, the rest through a stream that goes on
    // with the copy. Any other is copied first and read at once.
    SteppedResult openTable(const TableRead& read, std::size_t firstRows) override {
        if (read.from) {
            return Engine::openTable(read, firstRows);
        }
        const std::string name = copier_.tableNamed(read.table);
        if (name.empty() || copier_.copied(name) || !isOpen()) {
            return readAtOnce(read, firstRows);
        }
        copier_.startInSteps(name);
        copier_.copyUntil(name, static_cast<std::int64_t>(firstRows));
        SteppedResult result = memory_->openTable({name, read.orderKey, std::nullopt}, firstRows);
        if (copier_.copied(name)) {
            return result;
        }
        std::vector<std::string> columns;
        for (const ColumnInfo& c : result.columns) {
            columns.push_back(c.name);
        }
        const std::string rowid = unshadowedRowidName(columns);
        if (rowid.empty()) { // no name reaches the rowid: the rows are read at once
            return readAtOnce(read, firstRows);
        }
        // The rows read are the first ones copied: rowids 1 to their count.
        result.rest = std::make_unique<AccessTableStream>(
            copier_, db_, name, rowid, static_cast<std::int64_t>(result.rows.rowCount()));
        return result;
    }

    bool returnsRows(const std::string& sql) override {
        prepare(sql);
        return memory_->returnsRows(withExactArithmetic(sql));
    }

    long long execute(const std::string& sql, const std::vector<Value>& params) override {
        prepare(sql);
        return memory_->execute(withExactArithmetic(sql), params);
    }

    std::vector<Value> updateRow(const RowEdit&) override { refuseWrite(); }
    std::vector<Value> insertRow(const RowEdit&) override { refuseWrite(); }
    void deleteRow(const RowEdit&) override { refuseWrite(); }
    std::optional<DataStamp> dataStamp() override { return memory_->dataStamp(); }
    std::string readOnlyReason(const std::vector<ColumnInfo>&, const std::string&) override {
        return readOnlyText;
    }

private:
    SteppedResult readAtOnce(const TableRead& read, std::size_t firstRows) {
        return Engine::openInSteps(tableReadSql(read, quoteIdentifier), {}, firstRows);
    }

    template <typename Keep> std::vector<ForeignKey> keysWhere(Keep keep) {
        if (!relationships_) {
            relationships_ = readRelationships();
        }
        std::vector<ForeignKey> keys;
        std::copy_if(relationships_->begin(), relationships_->end(), std::back_inserter(keys),
                     keep);
        return keys;
    }

    // Access keeps its relationships in a system table, a row per column
    // pair; the file never changes while open, so it is read once.
    std::vector<ForeignKey> readRelationships() {
        const std::string table = "MSysRelationships";
        const std::vector<AccessColumn> columns = reader_.columns(table);
        const auto at = [&](std::string_view name) {
            const auto found = std::find_if(columns.begin(), columns.end(),
                                            [&](const AccessColumn& c) { return c.name == name; });
            if (found == columns.end()) {
                throw DataError(table + " has no column " + std::string(name));
            }
            return static_cast<std::size_t>(found - columns.begin());
        };
        const std::array<std::size_t, 6> pick{at("szRelationship"),     at("szObject"),
                                              at("szColumn"),           at("szReferencedObject"),
                                              at("szReferencedColumn"), at("icolumn")};
        std::vector<ForeignKeyColumn> rows;
        reader_.readRows(table, [&](const std::vector<Value>& row) {
            rows.push_back({row[pick[0]].toText(), row[pick[1]].toText(), row[pick[2]].toText(),
                            row[pick[3]].toText(), row[pick[4]].toText(), row[pick[5]].i});
        });
        return groupForeignKeys(std::move(rows));
    }

    // Copies the tables `sql` names, then refuses it before anything runs
    // when one of its statements would change data or schema.
    void prepare(const std::string& sql) {
        if (!isOpen()) {
            throw DataError("The connection is closed.", ErrorKind::Connection);
        }
        copier_.copyTablesNamedIn(sql);
        std::string_view rest = sql;
        while (!rest.empty()) {
            std::string_view tail;
            SqliteStatement stmt(systemSqlite(), db_, rest, &tail);
            if (!stmt.empty() && !systemSqlite().stmt_readonly(stmt.handle())) {
                refuseWrite();
            }
            rest = tail;
        }
    }

    AccessReaderProcess reader_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Engine> memory_;
    AccessTableCopier copier_;
    std::optional<std::vector<ForeignKey>> relationships_;
};

} // namespace

std::unique_ptr<Engine> openAccessEngine(const ConnectionString& cs) {
    const std::string path = cs.value("Data Source");
    // A file MDB Tools cannot read is reported as damaged, whatever its
    // header seems to hold as password.
    auto engine = std::make_unique<AccessEngine>(path);
    const std::string password = accessPassword(path);
    if (!password.empty() && password != cs.value("Jet OLEDB:Database Password")) {
        throw DataError("Not a valid password.", ErrorKind::NotADatabase);
    }
    return engine;
}

} // namespace vdata
