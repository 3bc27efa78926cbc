#pragma once

#include <string>

namespace vdata {

// Token-aware rewrites of the SQL this system writes. Both skip string
// literals, quoted identifiers and comments.

// "SELECT [DISTINCT|ALL] TOP n ..." becomes "SELECT [DISTINCT|ALL] ... LIMIT n",
// the LIMIT placed at the end of that SELECT (before the closing parenthesis
// of a nested select, or before a final ';').
std::string rewriteTop(const std::string& sql);

// "[x]" becomes "\"x\"" (a '"' inside is doubled), for engines that do not
// read brackets.
std::string bracketsToQuotes(const std::string& sql);

} // namespace vdata
