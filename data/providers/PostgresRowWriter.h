#pragma once

#include "Engine.h"
#include "PostgresCatalog.h"

#include <string>
#include <vector>

namespace vdata {

// One write-back statement: SQL with $n placeholders, its parameters, and
// for each column of its RETURNING list the result column it reads back.
struct PgWriteStatement {
    std::string sql;
    std::vector<Value> params;
    std::vector<std::size_t> returned;
};

// Builds the statements that write an edited row to its base table, keyed by
// the table's primary key. A table without one (or a result without all its
// key columns) raises a read-only DataError.
class PostgresRowWriter {
public:
    PostgresRowWriter(const PgTableInfo& table, const RowEdit& edit);

    PgWriteStatement update() const;
    PgWriteStatement insert() const;
    PgWriteStatement remove() const;
    // Reads the row back when an update changes no column.
    PgWriteStatement select() const;

private:
    bool isTableColumn(std::size_t i) const;
    std::string whereKey(std::vector<Value>& params) const;
    std::string whereUnchanged(std::vector<Value>& params) const;
    std::string returning(std::vector<std::size_t>& returned) const;

    const PgTableInfo& table_;
    const RowEdit& edit_;
    std::vector<std::size_t> keyColumns_; // result columns holding the key
};

} // namespace vdata
