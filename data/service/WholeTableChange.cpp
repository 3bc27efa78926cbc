#include "data/service/WholeTableChange.h"

#include "data/service/SqlLexer.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace vdata {

namespace {

bool is(const SqlToken& t, std::string_view word) {
    return t.kind == SqlToken::Kind::Word && t.text.size() == word.size() &&
           std::equal(word.begin(), word.end(), t.text.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           });
}

bool isName(const SqlToken& t) {
    return t.kind == SqlToken::Kind::Word || t.kind == SqlToken::Kind::Quoted;
}

// Words that may stand between UPDATE or DELETE FROM and the table.
bool isModifier(const SqlToken& t) {
    return is(t, "ONLY") || is(t, "LOW_PRIORITY") || is(t, "IGNORE") || is(t, "QUICK");
}

// The (possibly schema-qualified) name that starts at `i`.
std::optional<WholeTableChange> nameAt(const std::vector<SqlToken>& code, std::size_t i,
                                       std::string_view statement) {
    while (i < code.size() && isModifier(code[i])) {
        ++i;
    }
    if (i >= code.size() || !isName(code[i])) {
        return std::nullopt;
    }
    WholeTableChange change;
    const std::size_t begin = code[i].offset;
    std::size_t end = begin;
    for (; i < code.size() && isName(code[i]); i += 2) {
        change.name += (change.name.empty() ? "" : ".") + identifierText(code[i]);
        end = code[i].offset + code[i].text.size();
        if (i + 1 >= code.size() || code[i + 1].text != ".") {
            break;
        }
    }
    change.sql = std::string(statement.substr(begin, end - begin));
    return change;
}

} // namespace

std::optional<WholeTableChange> wholeTableChange(std::string_view statement, SqlFamily family) {
    std::vector<SqlToken> code;
    for (const SqlToken& t : lexSql(statement, family)) {
        if (t.kind != SqlToken::Kind::Space && t.kind != SqlToken::Kind::Comment) {
            code.push_back(t);
        }
    }
    if (code.empty() || !(is(code[0], "UPDATE") || is(code[0], "DELETE"))) {
        return std::nullopt;
    }
    int depth = 0;
    std::size_t from = 0;
    for (std::size_t i = 1; i < code.size(); ++i) {
        depth += code[i].text == "(" ? 1 : code[i].text == ")" ? -1 : 0;
        if (depth == 0 && is(code[i], "WHERE")) {
            return std::nullopt;
        }
        if (depth == 0 && from == 0 && is(code[i], "FROM")) {
            from = i;
        }
    }
    if (is(code[0], "UPDATE")) {
        return nameAt(code, 1, statement);
    }
    return from == 0 ? std::nullopt : nameAt(code, from + 1, statement);
}

} // namespace vdata
