#pragma once

#include <string_view>
#include <vector>

namespace vdata {

// A lexer that knows just enough SQL to tell code from quoted text:
// string literals, quoted identifiers ("x", `x`, [x]) and comments are
// single tokens, so rewrites never touch what they hold.
struct SqlToken {
    enum class Kind { Space, Comment, String, Quoted, Word, Punct };
    Kind kind;
    std::string_view text;
    std::size_t offset; // into the lexed text
};

std::vector<SqlToken> lexSql(std::string_view sql);

} // namespace vdata
