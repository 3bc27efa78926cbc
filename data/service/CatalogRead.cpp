#include "data/service/Dialect.h"
#include "data/service/Engine.h"
#include "data/service/SqlKeywords.h"

namespace vdata {

SchemaCatalog Engine::emptyCatalog() const {
    SchemaCatalog catalog;
    const std::string quoted = rewrite("[x]");
    if (quoted.size() == 3) {
        catalog.quoting = {quoted.front(), quoted.back(), false};
    }
    catalog.functions = commonSqlFunctions();
    return catalog;
}

SchemaCatalog Engine::readCatalog() {
    SchemaCatalog catalog = emptyCatalog();
    for (const std::string& table : listTables()) {
        const ResultSet empty =
            query("SELECT * FROM " + rewrite(bracketName(table)) + " WHERE 1=0", {});
        SchemaCatalog::Table& entry = catalog.tables.emplace_back();
        entry.name = table;
        for (const ColumnInfo& column : empty.columns) {
            entry.columns.push_back(column.name);
        }
        for (ForeignKey& key : foreignKeysOf(table)) {
            catalog.keys.push_back(std::move(key));
        }
    }
    catalog.buildIndex();
    return catalog;
}

} // namespace vdata
