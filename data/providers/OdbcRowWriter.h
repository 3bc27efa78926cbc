#pragma once

#include "data/providers/OdbcCatalog.h"
#include "data/providers/OdbcSession.h"
#include "data/service/Engine.h"
#include "data/service/ResultKey.h"
#include "data/service/WriteBackSql.h"

namespace vdata {

// The statements that write an edited row to its base table through ODBC:
// '?' markers, the driver's name quoting, keyed by the table's primary key
// or unique index. A table without either (or a result without all the key
// columns) raises a read-only DataError.
class OdbcRowWriter {
public:
    OdbcRowWriter(const OdbcSession& session, const OdbcTableInfo& table, const RowEdit& edit);

    const WriteBackSql& sql() const { return sql_; }
    // The row's key as it was read.
    RowKey key() const { return key_.of(edit_.original); }
    // The key by the row's values after the write.
    RowKey keyOf(const std::vector<Value>& values) const { return key_.of(values); }
    // The result column of a one-column key, or -1 for a composite key.
    int singleKeyColumn() const { return key_.singleColumn(); }

private:
    const RowEdit& edit_;
    WriteBackSql sql_;
    ResultKey key_;
};

} // namespace vdata
