#include "data/service/TableReferences.h"

#include "data/service/SqlLexer.h"
#include "data/service/TextHelpers.h"

#include <array>
#include <vector>

namespace vdata {
namespace {

bool isKeyword(const SqlToken& t, std::string_view word) {
    return t.kind == SqlToken::Kind::Word && equalsIgnoreCase(t.text, word);
}

bool isPunct(const SqlToken& t, char c) {
    return t.kind == SqlToken::Kind::Punct && t.text.size() == 1 && t.text[0] == c;
}

// Words that end a FROM clause.
bool endsFromClause(const SqlToken& t) {
    static constexpr std::array<std::string_view, 11> words{
        "WHERE",  "GROUP",     "ORDER",  "HAVING", "LIMIT",    "UNION",
        "EXCEPT", "INTERSECT", "WINDOW", "OFFSET", "RETURNING"};
    for (std::string_view w : words) {
        if (isKeyword(t, w)) {
            return true;
        }
    }
    return isPunct(t, ';');
}

bool isName(const SqlToken& t) {
    return t.kind == SqlToken::Kind::Word || t.kind == SqlToken::Kind::Quoted;
}

} // namespace

int countTableReferences(const std::string& sql, const std::string& table) {
    std::vector<SqlToken> tokens;
    for (const SqlToken& t : lexSql(sql)) {
        if (t.kind != SqlToken::Kind::Space && t.kind != SqlToken::Kind::Comment) {
            tokens.push_back(t);
        }
    }
    // One flag per parenthesis depth: inside a FROM clause at that depth.
    std::vector<bool> inFrom{false};
    int count = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const SqlToken& t = tokens[i];
        if (isPunct(t, '(')) {
            inFrom.push_back(false);
            continue;
        }
        if (isPunct(t, ')')) {
            if (inFrom.size() > 1) {
                inFrom.pop_back();
            }
            continue;
        }
        if (isKeyword(t, "FROM")) {
            inFrom.back() = true;
            continue;
        }
        if (endsFromClause(t)) {
            inFrom.back() = false;
            continue;
        }
        if (!inFrom.back() || !isName(t) || i == 0) {
            continue;
        }
        // A schema-qualified name counts at its last part.
        std::size_t start = i;
        if (i >= 2 && isPunct(tokens[i - 1], '.') && isName(tokens[i - 2])) {
            start = i - 2;
        }
        const bool followedByDot = i + 1 < tokens.size() && isPunct(tokens[i + 1], '.');
        const SqlToken& before = tokens[start == 0 ? 0 : start - 1];
        const bool placed = start > 0 && (isKeyword(before, "FROM") || isKeyword(before, "JOIN") ||
                                          isPunct(before, ','));
        if (placed && !followedByDot && equalsIgnoreCase(identifierText(t), table)) {
            ++count;
        }
    }
    return count;
}

} // namespace vdata
