#pragma once

#include "data/service/SqlLexer.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace vdata {

// Where one statement of a text stands: [begin, end) without the blanks
// around it and without its closing ';'.
struct StatementSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The statements of a text, split at each ';' that the tokenizer reads as
// code (never inside a string, a quoted name, a comment or a dollar-quoted
// body), and on SQL Server also at a line that holds only GO. A blank line
// never ends a statement. Empty statements are left out.
std::vector<StatementSpan> splitStatements(std::string_view sql,
                                           SqlFamily family = SqlFamily::Standard);

// The statement that holds `offset` (a caret position), also when the caret
// stands after its ';' on the same line with only blanks or a comment
// between; in the blanks between two statements, the next one; past the
// last, the last. None (begin == end) in a text without statements.
StatementSpan statementAt(std::string_view sql, std::size_t offset,
                          SqlFamily family = SqlFamily::Standard);

} // namespace vdata
