#include "data/service/SqlStatements.h"

#include "data/service/SqlLexer.h"

#include <algorithm>

namespace vdata {

namespace {

bool isBlank(const SqlToken& t) {
    return t.kind == SqlToken::Kind::Space || t.kind == SqlToken::Kind::Comment;
}

bool onlyBlanksBetween(std::string_view sql, std::size_t from, std::size_t to) {
    return sql.substr(from, to - from).find_first_not_of(" \t\r") == std::string_view::npos;
}

// SQL Server's batch separator: GO alone on its line.
bool isGoLine(std::string_view sql, const SqlToken& t) {
    if (t.kind != SqlToken::Kind::Word || t.text.size() != 2 || (t.text[0] | 0x20) != 'g' ||
        (t.text[1] | 0x20) != 'o') {
        return false;
    }
    const std::size_t lineStart = sql.rfind('\n', t.offset);
    const std::size_t from = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    const std::size_t after = t.offset + t.text.size();
    const std::size_t lineEnd = std::min(sql.size(), sql.find('\n', after));
    return onlyBlanksBetween(sql, from, t.offset) && onlyBlanksBetween(sql, after, lineEnd);
}

bool endsStatement(std::string_view sql, const SqlToken& t, SqlFamily family) {
    return (t.kind == SqlToken::Kind::Punct && t.text == ";") ||
           (family == SqlFamily::SqlServer && isGoLine(sql, t));
}

} // namespace

std::vector<StatementSpan> splitStatements(std::string_view sql, SqlFamily family) {
    std::vector<StatementSpan> spans;
    StatementSpan current;
    bool open = false;
    for (const SqlToken& t : lexSql(sql, family)) {
        if (endsStatement(sql, t, family)) {
            if (open) {
                spans.push_back(current);
            }
            open = false;
        } else if (!isBlank(t)) {
            if (!open) {
                current.begin = t.offset;
            }
            current.end = t.offset + t.text.size();
            open = true;
        }
    }
    if (open) {
        spans.push_back(current);
    }
    return spans;
}

StatementSpan statementAt(std::string_view sql, std::size_t offset, SqlFamily family) {
    const std::vector<StatementSpan> spans = splitStatements(sql, family);
    for (const StatementSpan& span : spans) {
        // A statement reaches over its ';' to the end of its line when only
        // blanks or a comment follow there.
        std::size_t reach = span.end;
        while (reach < sql.size() &&
               (sql[reach] == ';' || sql[reach] == ' ' || sql[reach] == '\t')) {
            ++reach;
        }
        if (sql.substr(reach, 2) == "--") {
            reach = std::min(sql.size(), sql.find('\n', reach));
        }
        if (offset <= reach) {
            return span;
        }
    }
    return spans.empty() ? StatementSpan{} : spans.back();
}

} // namespace vdata
