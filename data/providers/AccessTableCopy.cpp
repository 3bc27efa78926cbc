#include "data/providers/AccessTableCopy.h"

#include "data/providers/SqliteStatement.h"
#include "data/providers/TypeMap.h"
#include "data/service/Errors.h"
#include "data/service/Progress.h"
#include "data/service/WriteBackSql.h"

namespace vdata {

AccessTableCopy::AccessTableCopy(AccessReaderProcess& reader, sqlite3* db, const std::string& table)
    : reader_(&reader), db_(db), table_(table), quoted_(quoteIdentifier(table)) {
    const std::vector<AccessColumn> columns = reader.columns(table);
    std::string create = "CREATE TABLE " + quoted_ + " (";
    insert_ = "INSERT INTO " + quoted_ + " VALUES (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const AccessColumn& c = columns[i];
        create += (i ? ", " : "") + quoteIdentifier(c.name) + " " +
                  accessDeclaredType(c.type, c.autoNumber, c.precision, c.scale);
        insert_ += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    insert_ += ")";
    width_ = columns.size();
    run(create + ")");
    try {
        reader.askRows(table);
    } catch (...) {
        run("DROP TABLE " + quoted_);
        throw;
    }
}

AccessTableCopy::AccessTableCopy(std::unique_ptr<AccessReaderProcess> reader, sqlite3* db,
                                 const std::string& table)
    : AccessTableCopy(*reader, db, table) {
    own_ = std::move(reader);
}

AccessTableCopy::~AccessTableCopy() {
    if (whole()) {
        return;
    }
    reader_->abandonRows();
    try {
        run("DROP TABLE " + quoted_);
    } catch (const DataError&) {
        // the database is closing: the half copy goes with it
    }
}

void AccessTableCopy::run(const std::string& sql) {
    SqliteStatement stmt(systemSqlite(), db_, sql);
    stmt.step();
}

bool AccessTableCopy::copySome(std::size_t maxRows, std::chrono::milliseconds wait) {
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    if (whole()) {
        return false;
    }
    run("SAVEPOINT copy");
    try {
        SqliteStatement insert(systemSqlite(), db_, insert_);
        const bool more = reader_->takeRows(
            [&](const std::vector<Value>& row) { copy(row, insert); }, maxRows, wait);
        run("RELEASE copy");
        if (!more) {
            reader_ = nullptr;
            own_.reset();
        }
        return more;
    } catch (...) {
        failure_ = std::current_exception();
        run("RELEASE copy");
        throw;
    }
}

// A row that does not fit the columns would shift or lose values.
void AccessTableCopy::copy(const std::vector<Value>& row, SqliteStatement& insert) {
    if (row.size() != width_) {
        throw DataError("The Access reader sent a row that does not fit the columns of '" + table_ +
                            "'; the file is damaged.",
                        ErrorKind::NotADatabase);
    }
    insert.bindAll(row);
    insert.step();
    insert.reset();
    ++rows_;
}

void AccessTableCopy::finish() {
    while (copySome(progressStep, AccessReaderProcess::silenceLimit)) {
        checkProgress(static_cast<std::size_t>(rows_));
    }
}

} // namespace vdata
