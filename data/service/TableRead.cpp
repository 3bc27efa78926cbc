#include "data/service/TableRead.h"

#include "data/service/Dialect.h"
#include "data/service/Engine.h"
#include "data/service/Parameters.h"

namespace vdata {

std::string tableReadSql(const TableRead& read) {
    std::string sql = "SELECT * FROM " + bracketName(read.table);
    if (read.from && read.orderKey.size() == 1) {
        sql += " WHERE " + bracketName(read.orderKey.front()) + " >= :from";
    }
    for (std::size_t i = 0; i < read.orderKey.size(); ++i) {
        sql += (i == 0 ? " ORDER BY " : ", ") + bracketName(read.orderKey[i]);
    }
    return sql;
}

SteppedResult Engine::openTable(const TableRead& read, std::size_t firstRows) {
    const std::string sql = rewrite(tableReadSql(read));
    if (!read.from || read.orderKey.size() != 1) {
        return openInSteps(sql, {}, read.table, firstRows);
    }
    const ParsedSql parsed = parseParameters(sql, [this](int n) { return placeholder(n); });
    return openInSteps(parsed.text, {*read.from}, read.table, firstRows);
}

} // namespace vdata
