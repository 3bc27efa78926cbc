#pragma once

#include "data/service/SchemaCatalog.h"
#include "data/service/SqlLexer.h"

#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// What to offer at a caret in SQL text: each item's text replaces the bytes
// [from, to) of the text (the part of a name typed so far, quote included).
struct Completion {
    enum class Kind { JoinCondition, Column, Table, Function, Keyword };
    struct Item {
        std::string text;
        Kind kind;
    };
    std::size_t from = 0;
    std::size_t to = 0;
    std::vector<Item> items;
};

// What fits at byte `caret` of UTF-8 `text`, matched on the part of the word
// before the caret (letter case ignored): tables and views after FROM, JOIN,
// UPDATE, INTO and TABLE; the columns of a table, or of the table an alias
// stands for, after "name."; after "JOIN t ... ON" the join conditions the
// foreign keys between t and the statement's earlier tables give; else the
// columns of the statement's tables, functions and keywords. Names are
// written as the engine reads them. Nothing inside a string or a comment.
// Without a catalogue (null) only keywords.
Completion completeSql(std::string_view text, std::size_t caret, const SchemaCatalog* catalog);

// At a caret that follows "JOIN t [alias]": "ON " and each join condition the
// foreign keys give, inserted at the caret. No items elsewhere.
Completion joinClauseAt(std::string_view text, std::size_t caret, const SchemaCatalog* catalog);

// Whether one of the statements of `sql` begins with CREATE, ALTER or DROP,
// so that the catalogue may have changed.
bool changesSchema(std::string_view sql, SqlFamily family = SqlFamily::Standard);

} // namespace vdata
