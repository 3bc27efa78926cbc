#include "SqlLexer.h"

#include <cctype>

namespace vdata {
namespace {

bool isWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// End of a quoted run that starts at i with `open`; a doubled closing
// character inside stays part of it. Unterminated runs end at the text's end.
std::size_t quotedEnd(std::string_view s, std::size_t i, char close, bool doubling) {
    std::size_t j = i + 1;
    while (j < s.size()) {
        if (s[j] == close) {
            if (doubling && j + 1 < s.size() && s[j + 1] == close) {
                j += 2;
                continue;
            }
            return j + 1;
        }
        ++j;
    }
    return s.size();
}

std::size_t tokenEnd(std::string_view s, std::size_t i, SqlToken::Kind& kind) {
    const char c = s[i];
    const char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (std::isspace(static_cast<unsigned char>(c))) {
        kind = SqlToken::Kind::Space;
        std::size_t j = i;
        while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) {
            ++j;
        }
        return j;
    }
    if (c == '-' && next == '-') {
        kind = SqlToken::Kind::Comment;
        const std::size_t nl = s.find('\n', i);
        return nl == std::string_view::npos ? s.size() : nl;
    }
    if (c == '/' && next == '*') {
        kind = SqlToken::Kind::Comment;
        const std::size_t end = s.find("*/", i + 2);
        return end == std::string_view::npos ? s.size() : end + 2;
    }
    if (c == '\'') {
        kind = SqlToken::Kind::String;
        return quotedEnd(s, i, '\'', true);
    }
    if (c == '"' || c == '`') {
        kind = SqlToken::Kind::Quoted;
        return quotedEnd(s, i, c, true);
    }
    if (c == '[') {
        kind = SqlToken::Kind::Quoted;
        return quotedEnd(s, i, ']', false);
    }
    if (isWordChar(c)) {
        kind = SqlToken::Kind::Word;
        std::size_t j = i;
        while (j < s.size() && isWordChar(s[j])) {
            ++j;
        }
        return j;
    }
    kind = SqlToken::Kind::Punct;
    return i + 1;
}

} // namespace

std::vector<SqlToken> lexSql(std::string_view sql) {
    std::vector<SqlToken> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        SqlToken::Kind kind;
        const std::size_t end = tokenEnd(sql, i, kind);
        tokens.push_back({kind, sql.substr(i, end - i), i});
        i = end;
    }
    return tokens;
}

} // namespace vdata
