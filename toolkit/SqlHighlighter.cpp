#include "toolkit/SqlHighlighter.h"

#include "data/service/SqlLexer.h"

#include <Qsci/qsciscintilla.h>

#include <QFontDatabase>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

namespace tk {

namespace {

// Words most engines reserve, upper case.
constexpr std::array<std::string_view, 96> keywords = {
    "ADD",        "ALL",         "ALTER",     "AND",       "AS",        "ASC",       "BEGIN",
    "BETWEEN",    "BY",          "CASE",      "CAST",      "CHECK",     "COLUMN",    "COMMIT",
    "CONSTRAINT", "CREATE",      "CROSS",     "DATABASE",  "DEFAULT",   "DELETE",    "DESC",
    "DISTINCT",   "DROP",        "ELSE",      "END",       "ESCAPE",    "EXCEPT",    "EXISTS",
    "EXPLAIN",    "FALSE",       "FOREIGN",   "FROM",      "FULL",      "FUNCTION",  "GROUP",
    "HAVING",     "IF",          "IN",        "INDEX",     "INNER",     "INSERT",    "INTERSECT",
    "INTO",       "IS",          "JOIN",      "KEY",       "LEFT",      "LIKE",      "LIMIT",
    "NATURAL",    "NOT",         "NULL",      "OFFSET",    "ON",        "OR",        "ORDER",
    "OUTER",      "OVER",        "PARTITION", "PRAGMA",    "PRIMARY",   "PROCEDURE", "RECURSIVE",
    "REFERENCES", "RENAME",      "REPLACE",   "RETURNING", "RIGHT",     "ROLLBACK",  "ROW",
    "SCHEMA",     "SELECT",      "SET",       "TABLE",     "TEMPORARY", "THEN",      "TO",
    "TOP",        "TRANSACTION", "TRIGGER",   "TRUE",      "TRUNCATE",  "UNION",     "UNIQUE",
    "UPDATE",     "USING",       "VALUES",    "VIEW",      "WHEN",      "WHERE",     "WINDOW",
    "WITH",       "WITHOUT",     "BOOLEAN",   "INTEGER",   "TEXT"};

bool isKeyword(std::string_view word) {
    std::string upper(word);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return std::find(keywords.begin(), keywords.end(), upper) != keywords.end();
}

SqlHighlighter::Style styleOf(const std::vector<vdata::SqlToken>& tokens, std::size_t i) {
    using Kind = vdata::SqlToken::Kind;
    const vdata::SqlToken& t = tokens[i];
    const auto isColon = [&](std::size_t j) {
        return tokens[j].kind == Kind::Punct && tokens[j].text == ":";
    };
    switch (t.kind) {
    case Kind::Comment:
        return SqlHighlighter::Comment;
    case Kind::String:
        return SqlHighlighter::String;
    case Kind::Quoted:
        return SqlHighlighter::QuotedName;
    case Kind::Word:
        // ":name" is a parameter; "::type" is a cast.
        if (i > 0 && isColon(i - 1) && (i < 2 || !isColon(i - 2))) {
            return SqlHighlighter::Parameter;
        }
        if (std::isdigit(static_cast<unsigned char>(t.text.front()))) {
            return SqlHighlighter::Number;
        }
        return isKeyword(t.text) ? SqlHighlighter::Keyword : SqlHighlighter::Default;
    default:
        return SqlHighlighter::Default;
    }
}

} // namespace

SqlHighlighter::SqlHighlighter(QObject* parent) : QsciLexerCustom(parent) {}

QString SqlHighlighter::description(int style) const {
    static const char* const names[StyleCount] = {"Default", "Keyword",     "String",   "Number",
                                                  "Comment", "Quoted name", "Parameter"};
    return style >= 0 && style < StyleCount ? QString::fromLatin1(names[style]) : QString();
}

QColor SqlHighlighter::defaultColor(int style) const {
    switch (style) {
    case Keyword:
        return QColor(0x00, 0x00, 0xa0);
    case String:
        return QColor(0xa0, 0x20, 0x20);
    case Number:
        return QColor(0x00, 0x70, 0x70);
    case Comment:
        return QColor(0x60, 0x80, 0x60);
    case QuotedName:
        return QColor(0x70, 0x40, 0x00);
    case Parameter:
        return QColor(0x80, 0x00, 0x80);
    default:
        return QColor(Qt::black);
    }
}

QFont SqlHighlighter::defaultFont(int style) const {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setBold(style == Keyword);
    font.setItalic(style == Comment);
    return font;
}

// The text is read from its start, so that a string or comment that began
// above the range is still one; only the range asked for is styled.
void SqlHighlighter::styleText(int start, int end) {
    if (!editor() || end <= start) {
        return;
    }
    const QByteArray bytes = editor()->bytes(0, end);
    const std::string_view text(bytes.constData(), std::size_t(std::max(0, end)));
    const std::vector<vdata::SqlToken> tokens = vdata::lexSql(text);
    startStyling(start);
    int styled = start;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const int from = int(tokens[i].offset);
        const int to = from + int(tokens[i].text.size());
        if (to <= styled) {
            continue;
        }
        setStyling(to - styled, styleOf(tokens, i));
        styled = to;
    }
    if (styled < end) {
        setStyling(end - styled, Default);
    }
}

} // namespace tk
