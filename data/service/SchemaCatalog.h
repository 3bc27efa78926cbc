#pragma once

#include "data/service/ForeignKey.h"
#include "data/service/SqlLexer.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vdata {

// How an engine writes a name in SQL: plain where it reads it so unquoted,
// else between its quote characters. `foldsToLower` is for engines that read
// an unquoted name in lower case, so a name with a capital needs the quotes.
struct NameQuoting {
    char open = '"';
    char close = '"';
    bool foldsToLower = false;
};

// `name` as the engine reads it back: bare when it is a plain identifier that
// is no keyword, else quoted.
std::string nameInSql(std::string_view name, const NameQuoting& quoting);

// What completion knows of a database: its tables and views with their
// columns, the foreign keys between them, the engine's common functions and
// how it quotes names. Fill it, then call buildIndex() before looking up.
class SchemaCatalog {
public:
    struct Table {
        std::string name; // as the table list shows it
        std::vector<std::string> columns;
    };

    std::vector<Table> tables;
    std::vector<ForeignKey> keys;
    std::vector<std::string> functions;
    NameQuoting quoting;
    SqlFamily family = SqlFamily::Standard; // how the engine reads SQL text

    void buildIndex();
    // The tables whose name starts with `prefix`, letter case ignored, in
    // that order.
    std::vector<const Table*> tablesStartingWith(std::string_view prefix) const;
    // The table named `name`, letter case ignored; null when there is none.
    const Table* find(std::string_view name) const;

private:
    std::vector<std::pair<std::string, std::size_t>> byFoldedName_;
};

} // namespace vdata
