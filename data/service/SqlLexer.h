#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// A lexer that knows just enough SQL to tell code from quoted text:
// string literals (also PostgreSQL's dollar-quoted $$...$$ and
// $tag$...$tag$), quoted identifiers ("x", `x`, [x]) and comments are
// single tokens, so rewrites never touch what they hold. A doubled closing
// character stays inside ("a""b", [a]]b]). A '[' that follows a name, a ']'
// or a ')' directly, or the word ARRAY, or that closes at once ("[]"), is a
// subscript or array bracket (Punct), not a bracketed name.
struct SqlToken {
    enum class Kind { Space, Comment, String, Quoted, Word, Punct };
    Kind kind;
    std::string_view text;
    std::size_t offset; // into the lexed text
};

// Which engine's SQL a text is written in, where the tokenizer must follow
// it: MySQL and MariaDB read "x" as a string (a name is `x`), '#' starts a
// comment and a backslash escapes the next character in a string; on SQL
// Server a line holding only GO ends a batch. Everything else is read the
// same way for all.
enum class SqlFamily { Standard, Sqlite, Postgres, MySql, SqlServer, Access };

std::vector<SqlToken> lexSql(std::string_view sql, SqlFamily family = SqlFamily::Standard);

// The name a Word or Quoted token stands for: a quoted one without its
// quotes and with doubled closing characters made single; `closed` tells
// whether a quoted one has its closing character (an unterminated one runs
// to the end of the text).
std::string identifierText(const SqlToken& t, bool* closed = nullptr);

} // namespace vdata
