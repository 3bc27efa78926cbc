#pragma once

#include "data/providers/MariaDbCatalog.h"
#include "data/service/Engine.h"
#include "data/service/ResultKey.h"
#include "data/service/WriteBackSql.h"

namespace vdata {

// `name` between backticks, any backtick inside doubled.
std::string backtickQuoted(const std::string& name);

// The statements that write an edited row to its MariaDB base table: '?'
// markers, backtick quoting, keyed by the primary key or a unique index.
// A table without either (or a result without all the key columns) raises
// a read-only DataError.
class MariaDbRowWriter {
public:
    MariaDbRowWriter(const MariaDbTableInfo& table, const RowEdit& edit);

    const WriteBackSql& sql() const { return sql_; }
    RowKey key() const { return key_.of(edit_.original); }
    RowKey keyOf(const std::vector<Value>& values) const { return key_.of(values); }
    // The result column of a one-column key, or -1 for a composite key.
    int singleKeyColumn() const { return key_.singleColumn(); }

private:
    const RowEdit& edit_;
    WriteBackSql sql_;
    ResultKey key_;
};

} // namespace vdata
