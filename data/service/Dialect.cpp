#include "data/service/Dialect.h"

#include "data/service/Enclose.h"
#include "data/service/SqlLexer.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <cctype>

namespace vdata {
namespace {

bool isWord(const SqlToken& t, std::string_view word) {
    return t.kind == SqlToken::Kind::Word && equalsIgnoreCase(t.text, word);
}

bool isBlank(const SqlToken& t) {
    return t.kind == SqlToken::Kind::Space || t.kind == SqlToken::Kind::Comment;
}

bool isNumber(const SqlToken& t) {
    return t.kind == SqlToken::Kind::Word && std::all_of(t.text.begin(), t.text.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c));
           });
}

std::size_t skipBlanks(const std::vector<SqlToken>& tokens, std::size_t i) {
    while (i < tokens.size() && isBlank(tokens[i])) {
        ++i;
    }
    return i;
}

// If a TOP clause follows the SELECT at index `select`, returns the index of
// the TOP word and of its number; otherwise returns false.
bool findTop(const std::vector<SqlToken>& tokens, std::size_t select, std::size_t& top,
             std::size_t& number) {
    std::size_t i = skipBlanks(tokens, select + 1);
    if (i < tokens.size() && (isWord(tokens[i], "DISTINCT") || isWord(tokens[i], "ALL"))) {
        i = skipBlanks(tokens, i + 1);
    }
    if (i >= tokens.size() || !isWord(tokens[i], "TOP")) {
        return false;
    }
    const std::size_t n = skipBlanks(tokens, i + 1);
    if (n >= tokens.size() || !isNumber(tokens[n])) {
        return false;
    }
    const std::size_t after = skipBlanks(tokens, n + 1);
    if (after < tokens.size() && isWord(tokens[after], "PERCENT")) {
        return false;
    }
    top = i;
    number = n;
    return true;
}

struct PendingLimit {
    int depth;
    std::string_view count;
};

} // namespace

std::string rewriteTop(const std::string& sql) {
    const std::vector<SqlToken> tokens = lexSql(sql);
    std::string out;
    out.reserve(sql.size() + 16);
    std::vector<PendingLimit> pending;
    int depth = 0;
    const auto flush = [&](int atDepth) {
        while (!pending.empty() && pending.back().depth >= atDepth) {
            out += " LIMIT ";
            out += pending.back().count;
            pending.pop_back();
        }
    };
    // Index of the last token that is not blank: the statement's end when the
    // text closes with blanks or a comment.
    std::size_t last = tokens.size();
    while (last > 0 && isBlank(tokens[last - 1])) {
        --last;
    }
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const SqlToken& t = tokens[i];
        if (i == last) {
            flush(0);
        }
        if (t.kind == SqlToken::Kind::Punct && (t.text == ")" || t.text == ";")) {
            flush(t.text == ")" ? depth : 0);
            depth -= t.text == ")" ? 1 : 0;
        } else if (t.kind == SqlToken::Kind::Punct && t.text == "(") {
            ++depth;
        }
        std::size_t top = 0;
        std::size_t number = 0;
        if (isWord(t, "SELECT") && findTop(tokens, i, top, number)) {
            for (std::size_t k = i; k < top; ++k) {
                out += tokens[k].text;
            }
            pending.push_back({depth, tokens[number].text});
            i = skipBlanks(tokens, number + 1) - 1; // drop "TOP n" and the blanks after it
            continue;
        }
        out += t.text;
    }
    flush(0);
    return out;
}

namespace {

// "[x]" as "\"x\"": "]]" inside is one ']', a '"' inside is doubled. Only
// the bracketed names that `pick` accepts are rewritten.
std::string rewriteBrackets(const std::string& sql, bool (*pick)(std::string_view),
                            char quote = '"') {
    std::string out;
    out.reserve(sql.size());
    for (const SqlToken& t : lexSql(sql)) {
        if (t.kind != SqlToken::Kind::Quoted || t.text.front() != '[' || !pick(t.text)) {
            out += t.text;
            continue;
        }
        bool closed = false;
        const std::string name = identifierText(t, &closed);
        out += quote;
        for (char c : name) {
            out += c;
            if (c == quote) {
                out += quote;
            }
        }
        if (closed) {
            out += quote;
        }
    }
    return out;
}

} // namespace

std::string bracketsToQuotes(const std::string& sql) {
    return rewriteBrackets(sql, [](std::string_view) { return true; });
}

std::string bracketsToQuotes(const std::string& sql, char quote) {
    return rewriteBrackets(
        sql, [](std::string_view) { return true; }, quote);
}

std::string escapedBracketsToQuotes(const std::string& sql) {
    return rewriteBrackets(sql, [](std::string_view bracketed) {
        return bracketed.find("]]") != std::string_view::npos;
    });
}

std::string bracketName(std::string_view name) {
    return enclose(name, '[', ']');
}

} // namespace vdata
