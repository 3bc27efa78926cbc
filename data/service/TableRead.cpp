#include "data/service/TableRead.h"

#include "data/service/Dialect.h"
#include "data/service/Engine.h"

namespace vdata {

std::string tableReadSql(const TableRead& read) {
    std::string sql = "SELECT * FROM " + bracketName(read.table);
    for (std::size_t i = 0; i < read.orderKey.size(); ++i) {
        sql += (i == 0 ? " ORDER BY " : ", ") + bracketName(read.orderKey[i]);
    }
    return sql;
}

SteppedResult Engine::openTable(const TableRead& read, std::size_t firstRows) {
    return openInSteps(rewrite(tableReadSql(read)), {}, read.table, firstRows);
}

} // namespace vdata
