#include "data/service/TableRead.h"

#include "data/service/Dialect.h"
#include "data/service/Engine.h"

namespace vdata {

std::string tableReadSql(const TableRead& read,
                         const std::function<std::string(const std::string&)>& quote) {
    std::string sql = "SELECT * FROM " + quote(read.table);
    for (std::size_t i = 0; i < read.orderKey.size(); ++i) {
        sql += (i == 0 ? " ORDER BY " : ", ") + quote(read.orderKey[i]);
    }
    return sql;
}

std::string tableReadSql(const TableRead& read) {
    return tableReadSql(read, [](const std::string& name) { return bracketName(name); });
}

// An engine without a read in steps reads the whole table at once.
SteppedResult Engine::openTable(const TableRead& read, std::size_t firstRows) {
    return Engine::openInSteps(rewrite(tableReadSql(read)), {}, firstRows);
}

} // namespace vdata
