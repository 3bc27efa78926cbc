#include "data/service/SqlLexer.h"

#include "data/service/TextHelpers.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vdata {
namespace {

bool isWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// End of a quoted run that starts at i with `open`; a doubled closing
// character inside stays part of it. Unterminated runs end at the text's end.
std::size_t quotedEnd(std::string_view s, std::size_t i, char close, bool doubling,
                      bool backslash = false) {
    std::size_t j = i + 1;
    while (j < s.size()) {
        if (backslash && s[j] == '\\') {
            j += 2;
            continue;
        }
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

// End of a dollar-quoted string ($$...$$, $tag$...$tag$) that starts at i;
// 0 when the '$' opens none ($1 and $name are parameters). Unterminated
// ones end at the text's end.
std::size_t dollarQuotedEnd(std::string_view s, std::size_t i) {
    std::size_t j = i + 1;
    if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
        return 0;
    }
    while (j < s.size() && s[j] != '$' && isWordChar(s[j])) {
        ++j;
    }
    if (j >= s.size() || s[j] != '$') {
        return 0;
    }
    const std::string_view tag = s.substr(i, j + 1 - i);
    const std::size_t close = s.find(tag, j + 1);
    return close == std::string_view::npos ? s.size() : close + tag.size();
}

std::size_t lineEnd(std::string_view s, std::size_t i) {
    const std::size_t nl = s.find('\n', i);
    return nl == std::string_view::npos ? s.size() : nl;
}

std::size_t tokenEnd(std::string_view s, std::size_t i, SqlToken::Kind& kind, SqlFamily family) {
    const bool mySql = family == SqlFamily::MySql;
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
    if ((c == '-' && next == '-') || (c == '#' && mySql)) {
        kind = SqlToken::Kind::Comment;
        return lineEnd(s, i);
    }
    if (c == '/' && next == '*') {
        kind = SqlToken::Kind::Comment;
        const std::size_t end = s.find("*/", i + 2);
        return end == std::string_view::npos ? s.size() : end + 2;
    }
    if (c == '\'' || (c == '"' && mySql)) {
        kind = SqlToken::Kind::String;
        return quotedEnd(s, i, c, true, mySql);
    }
    if (c == '"' || c == '`') {
        kind = SqlToken::Kind::Quoted;
        return quotedEnd(s, i, c, true);
    }
    if (c == '[') {
        kind = SqlToken::Kind::Quoted;
        return quotedEnd(s, i, ']', true);
    }
    if (c == '$') {
        if (const std::size_t end = dollarQuotedEnd(s, i); end != 0) {
            kind = SqlToken::Kind::String;
            return end;
        }
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

bool isKeyword(const SqlToken& t) {
    static constexpr std::array<std::string_view, 18> words{
        "SELECT", "FROM", "JOIN",   "WHERE", "ON",  "AND",      "OR",  "NOT", "BY",
        "AS",     "INTO", "UPDATE", "TABLE", "SET", "DISTINCT", "ALL", "TOP", "IN"};
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return equalsIgnoreCase(t.text, w); });
}

// What may carry a subscript or an array type suffix when a '[' follows it
// directly: a column or type name, a quoted name, a closed subscript or a
// parenthesis. Keywords and numbers may not.
bool takesSubscript(const SqlToken& t) {
    switch (t.kind) {
    case SqlToken::Kind::Word:
        return !std::isdigit(static_cast<unsigned char>(t.text.front())) && !isKeyword(t);
    case SqlToken::Kind::Quoted:
        return true;
    case SqlToken::Kind::Punct:
        return t.text == "]" || t.text == ")";
    default:
        return false;
    }
}

// A '[' at i opens a subscript, an array constructor or an array type
// ("tags[1]", "ARRAY[1,2]", "int[]"), not a bracketed name.
bool opensSubscript(const std::vector<SqlToken>& tokens, std::string_view s, std::size_t i) {
    if (i + 1 < s.size() && s[i + 1] == ']') {
        return true; // "[]" names nothing
    }
    if (tokens.empty()) {
        return false;
    }
    if (takesSubscript(tokens.back())) {
        return true;
    }
    auto solid = tokens.rbegin();
    while (solid != tokens.rend() &&
           (solid->kind == SqlToken::Kind::Space || solid->kind == SqlToken::Kind::Comment)) {
        ++solid;
    }
    return solid != tokens.rend() && solid->kind == SqlToken::Kind::Word &&
           equalsIgnoreCase(solid->text, "ARRAY");
}

} // namespace

std::vector<SqlToken> lexSql(std::string_view sql, SqlFamily family) {
    std::vector<SqlToken> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        SqlToken::Kind kind;
        const bool subscript = sql[i] == '[' && opensSubscript(tokens, sql, i);
        const std::size_t end = subscript ? i + 1 : tokenEnd(sql, i, kind, family);
        kind = subscript ? SqlToken::Kind::Punct : kind;
        tokens.push_back({kind, sql.substr(i, end - i), i});
        i = end;
    }
    return tokens;
}

std::string identifierText(const SqlToken& t, bool* closed) {
    if (closed) {
        *closed = t.kind != SqlToken::Kind::Quoted;
    }
    if (t.kind != SqlToken::Kind::Quoted) {
        return std::string(t.text);
    }
    const char close = t.text.front() == '[' ? ']' : t.text.front();
    std::string name;
    for (std::size_t k = 1; k < t.text.size(); ++k) {
        if (t.text[k] == close && (k + 1 == t.text.size() || t.text[k + 1] != close)) {
            if (closed) {
                *closed = true;
            }
            break;
        }
        name += t.text[k];
        k += t.text[k] == close ? 1 : 0;
    }
    return name;
}

} // namespace vdata
