#pragma once

#include "data/service/Errors.h"
#include "data/service/FieldType.h"
#include "data/service/ForeignKey.h"
#include "data/service/SchemaCatalog.h"
#include "data/service/Snapshot.h"
#include "data/service/SqlLexer.h"
#include "data/service/TableRead.h"
#include "data/service/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vdata {

// What a result column is and where it comes from. `table` and `column` name
// the base table column it was read from; both are empty for expressions.
// A generated column is computed by the database from other columns of its
// row: it is read like any other but never written.
struct ColumnInfo {
    std::string name;
    FieldType type = FieldType::Unknown;
    std::string table;
    std::string column;
    bool generated = false;
    // The digits after the point a decimal column shows at least (its
    // declared scale); -1 where values are shown as stored.
    int scale = -1;
};

struct ResultSet {
    std::vector<ColumnInfo> columns;
    Snapshot rows;
};

// The rows of a result that are still to be read (see Engine::openInSteps
// and Engine::openTable).
class RowStream {
public:
    virtual ~RowStream() = default;
    // Appends at most `maxRows` rows to `rows` and returns whether any remain.
    // A step waits for the database no longer than a few milliseconds: rows
    // not there by then come with a later step.
    virtual bool readMore(Snapshot& rows, std::size_t maxRows) = 0;
    // About how many rows remain, at most; 0 when not known.
    virtual std::size_t rowsExpected() const { return 0; }
};

// A result whose first rows are read and whose other rows, if any, are read
// through `rest`.
struct SteppedResult {
    std::vector<ColumnInfo> columns;
    Snapshot rows;
    std::unique_ptr<RowStream> rest; // null when `rows` holds the whole result
};

// One row to write back to its base table. Values are given per result
// column; `original` is empty for an insert.
struct RowEdit {
    const std::vector<ColumnInfo>* columns = nullptr;
    std::string table;
    std::vector<Value> original;
    std::vector<Value> current;
    std::vector<bool> changed;
};

// A write that the database committed but whose row could not be read back
// afterwards. `written()` is the row as it was written: it is in the table,
// so the edit is over, and writing it again would store it twice.
class RowNotReadBack : public DataError {
public:
    RowNotReadBack(std::vector<Value> written, const DataError& cause)
        : DataError("The row was saved, but it could not be read back: " +
                        std::string(cause.what()) + "\nRefresh to see it as the database holds it.",
                    cause.kind(), cause.nativeCode()),
          written_(std::move(written)) {}

    const std::vector<Value>& written() const { return written_; }

private:
    std::vector<Value> written_;
};

// Why rows of `table` read through `columns` cannot be written back: the
// refusal of `makeWriter` (called with such an edit) to make a writer for
// them; empty when it makes one.
template <class MakeWriter>
std::string writerRefusal(const std::vector<ColumnInfo>& columns, const std::string& table,
                          MakeWriter&& makeWriter) {
    RowEdit edit;
    edit.columns = &columns;
    edit.table = table;
    try {
        makeWriter(edit);
        return {};
    } catch (const DataError& e) {
        return e.what();
    }
}

// Runs `readBack` after a write that is already committed; its failure is
// raised as RowNotReadBack with `written`.
template <class ReadBack>
std::vector<Value> readBackAfterWrite(const std::vector<Value>& written, ReadBack&& readBack) {
    try {
        return readBack();
    } catch (const DataError& cause) {
        throw RowNotReadBack(written, cause);
    }
}

// One open database session of a provider. Everything raises DataError with
// the engine's message on failure.
class Engine {
public:
    virtual ~Engine() = default;

    virtual void close() noexcept = 0;
    virtual bool isOpen() const = 0;

    // User tables and views, system tables excluded, in catalogue order.
    virtual std::vector<std::string> listTables() = 0;
    // Catalogue (database) names.
    virtual std::vector<std::string> listCatalogs() = 0;
    // The columns a view of the whole table lists its rows by: a server's
    // primary key (a server keeps no useful order of its own, so an edited
    // row would move); empty where rows show in the order stored.
    virtual std::vector<std::string> tableOrderKey(const std::string& /*table*/) { return {}; }
    // The foreign keys declared on `table`, and those of any table that
    // reference `table`, each in declaration order; none where the engine
    // keeps no declared relationships.
    virtual std::vector<ForeignKey> foreignKeysOf(const std::string& /*table*/) { return {}; }
    virtual std::vector<ForeignKey> keysReferencing(const std::string& /*table*/) { return {}; }
    // Every table and view with its columns, the foreign keys between them,
    // the engine's common functions and its quoting of names, indexed. By
    // default through the calls above and an empty select per table;
    // engines that can read it all in a few queries do so.
    virtual SchemaCatalog readCatalog();

    // Turns the SQL this system writes ([x] identifiers, SELECT TOP n) into
    // the engine's dialect.
    virtual std::string rewrite(const std::string& sql) const = 0;
    // The placeholder text for the n-th (1-based) bound parameter.
    virtual std::string placeholder(int n) const = 0;
    // Whose SQL the user's own text is read as (strings, comments, names,
    // statement ends).
    virtual SqlFamily sqlFamily() const { return SqlFamily::Standard; }

    // Runs a statement that returns rows and copies them all. Raises
    // "CommandText does not return a result set" when the statement has none.
    virtual ResultSet query(const std::string& sql, const std::vector<Value>& params) = 0;
    // Runs a statement that returns rows and reads at least its first
    // `firstRows` rows; the engine may read the rest in steps as they come,
    // on a session of its own or in a way that holds no lock between steps.
    // The stream must not outlive the engine. By default every row is read
    // at once.
    virtual SteppedResult openInSteps(const std::string& sql, const std::vector<Value>& params,
                                      std::size_t /*firstRows*/) {
        ResultSet whole = query(sql, params);
        return {std::move(whole.columns), std::move(whole.rows), nullptr};
    }
    // Reads a table view: its columns, at least its first `firstRows` rows
    // and the rest in steps, in chunks that hold no lock between them or on
    // a session of its own, so that edits made meanwhile neither wait nor
    // fail. Each row is read once, so a row saved after the read passed it
    // keeps what was saved. An engine builds its own statements from the
    // request; by default, for one that cannot read in steps, the view's
    // SQL is read at once.
    virtual SteppedResult openTable(const TableRead& read, std::size_t firstRows);
    // Whether the text is one statement that returns rows, found without
    // running it. Raises DataError for a text the engine cannot prepare
    // (several statements included).
    virtual bool returnsRows(const std::string& sql) = 0;
    // Runs statements and returns the records affected as the engine counts
    // them (-1 when it reports no count). Rows they return are discarded.
    virtual long long execute(const std::string& sql, const std::vector<Value>& params) = 0;

    // Write-back of single-table results. Each returns the row as read back
    // from the table (per result column), so defaults and generated keys show.
    // A write that matches no row raises DataError; one that was committed
    // but could not be read back raises RowNotReadBack.
    virtual std::vector<Value> updateRow(const RowEdit& edit) = 0;
    // Why rows of `table` read through `columns` cannot be written back, or
    // empty when they can.
    virtual std::string readOnlyReason(const std::vector<ColumnInfo>& columns,
                                       const std::string& table) = 0;
    virtual std::vector<Value> insertRow(const RowEdit& edit) = 0;
    virtual void deleteRow(const RowEdit& edit) = 0;

    // A text that changes whenever the database's data or schema may have
    // changed, by this session or another; none when the engine cannot tell.
    using DataStamp = std::string;
    virtual std::optional<DataStamp> dataStamp() { return std::nullopt; }

protected:
    // A catalogue without tables: the common functions, and the quotes the
    // engine's rewrite puts around a bracketed name.
    SchemaCatalog emptyCatalog() const;
};

} // namespace vdata
