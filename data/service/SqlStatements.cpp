#include "data/service/SqlStatements.h"

#include "data/service/SqlLexer.h"

#include <algorithm>

namespace vdata {

namespace {

bool isBlank(const SqlToken& t) {
    return t.kind == SqlToken::Kind::Space || t.kind == SqlToken::Kind::Comment;
}

} // namespace

std::vector<StatementSpan> splitStatements(std::string_view sql) {
    std::vector<StatementSpan> spans;
    StatementSpan current;
    bool open = false;
    for (const SqlToken& t : lexSql(sql)) {
        if (t.kind == SqlToken::Kind::Punct && t.text == ";") {
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

StatementSpan statementAt(std::string_view sql, std::size_t offset) {
    const std::vector<StatementSpan> spans = splitStatements(sql);
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
