#include "data/service/TableRead.h"

#include "data/service/Dialect.h"
#include "data/service/Engine.h"
#include "data/service/Parameters.h"

namespace vdata {

std::string tableReadSql(const TableRead& read,
                         const std::function<std::string(const std::string&)>& quote) {
    std::string sql = "SELECT * FROM " + quote(read.table);
    if (read.from && read.orderKey.size() == 1) {
        sql += " WHERE " + quote(read.orderKey.front()) + " >= :from";
    }
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
    const std::string sql = rewrite(tableReadSql(read));
    if (!read.from || read.orderKey.size() != 1) {
        return Engine::openInSteps(sql, {}, firstRows);
    }
    // From a key on: the engine's statement, read in steps where it reads
    // statements so.
    const ParsedSql parsed = parseParameters(sql, [this](int n) { return placeholder(n); });
    return openInSteps(parsed.text, {*read.from}, firstRows);
}

} // namespace vdata
