#pragma once

#include <string>
#include <string_view>

namespace vdata {

// Token-aware rewrites of the SQL this system writes. Both skip string
// literals, quoted identifiers and comments.

// "SELECT [DISTINCT|ALL] TOP n ..." becomes "SELECT [DISTINCT|ALL] ... LIMIT n",
// the LIMIT placed at the end of that SELECT (before the closing parenthesis
// of a nested select, or before a final ';').
std::string rewriteTop(const std::string& sql);

// "[x]" becomes "\"x\"" ("]]" inside becomes ']', a '"' inside is doubled),
// for engines that do not read brackets.
std::string bracketsToQuotes(const std::string& sql);
// The same with another quote character (a '`' for MySQL), doubled inside.
std::string bracketsToQuotes(const std::string& sql, char quote);

// The same for the bracketed names that hold a ']' only, for engines that
// read [x] but end it at the first ']'.
std::string escapedBracketsToQuotes(const std::string& sql);

// A table or column name as one bracketed name, whatever it holds: "[" +
// name + "]" with each ']' inside written "]]".
std::string bracketName(std::string_view name);

} // namespace vdata
