#pragma once

#include "data/providers/PostgresValues.h"
#include "data/service/Snapshot.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// The COPY ... TO STDOUT form of a plain SELECT (or VALUES, or TABLE)
// statement, whose rows the server then streams as lines of text without a
// result object per row; none for any other statement, which then runs as
// it is. The first word of code tells (comments before it may stand);
// trailing semicolons are dropped, and the closing parenthesis goes on a
// line of its own, so that a comment at the end cannot swallow it.
std::optional<std::string> copyOutStatement(std::string_view sql);

// What appendCopyRow keeps from one line to the next, so that a line costs
// no allocation: the line's fields and an unescaped field.
struct CopyLineScratch {
    std::vector<std::string_view> fields;
    std::string unescaped;
};

// Appends one line of COPY text format (fields split by tabs, \N for NULL,
// backslash escapes) as a row of `storage.size()` cells. A line with
// another number of fields (the table's columns changed after the result
// was described) raises, appending nothing.
void appendCopyRow(Snapshot& rows, const std::vector<PgStorage>& storage, std::string_view line,
                   CopyLineScratch& scratch);

} // namespace vdata
