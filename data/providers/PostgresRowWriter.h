#pragma once

#include "data/providers/PostgresCatalog.h"
#include "data/service/Engine.h"
#include "data/service/WriteBackSql.h"

namespace vdata {

// The statements that write an edited row to its base table, keyed by the
// table's primary key, each reading the row back with RETURNING. A table
// without a primary key (or a result without all its key columns) raises a
// read-only DataError.
class PostgresRowWriter {
public:
    PostgresRowWriter(const PgTableInfo& table, const RowEdit& edit);

    // An update that changes no column reads the row back instead.
    WriteStatement update() const;
    WriteStatement insert() const { return sql_.insert(); }
    WriteStatement remove() const { return sql_.remove(key_); }

private:
    WriteBackSql sql_;
    RowKey key_;
};

} // namespace vdata
