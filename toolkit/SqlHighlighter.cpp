#include "toolkit/SqlHighlighter.h"

#include "data/service/SqlKeywords.h"
#include "data/service/SqlLexer.h"

#include <Qsci/qsciscintilla.h>

#include <QFontDatabase>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tk {

namespace {

using vdata::SqlFamily;

std::unordered_set<std::string> keywordsOf(SqlFamily family) {
    std::unordered_set<std::string> words(vdata::sqlKeywords().begin(), vdata::sqlKeywords().end());
    words.insert(vdata::familyKeywords(family).begin(), vdata::familyKeywords(family).end());
    return words;
}

bool isKeyword(const std::unordered_set<std::string>& keywords, std::string_view word) {
    std::string upper(word);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return keywords.count(upper) != 0;
}

SqlHighlighter::Style styleOf(const std::vector<vdata::SqlToken>& tokens, std::size_t i,
                              const std::unordered_set<std::string>& keywords) {
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
        return isKeyword(keywords, t.text) ? SqlHighlighter::Keyword : SqlHighlighter::Default;
    default:
        return SqlHighlighter::Default;
    }
}

} // namespace

SqlHighlighter::SqlHighlighter(QObject* parent)
    : QsciLexerCustom(parent), keywords_(keywordsOf(family_)) {}

void SqlHighlighter::setFamily(vdata::SqlFamily family) {
    family_ = family;
    keywords_ = keywordsOf(family);
}

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

// Where to start reading so that the text from there tokenizes as the whole
// text would: the start of the line that holds `position`, or, when the
// line break before it is part of a string, a quoted name or a comment
// (only those run over lines), the start of that token. The text before
// `position` is styled already, so the token's start is where that style
// begins.
int SqlHighlighter::restartPoint(int position) const {
    QsciScintilla* e = editor();
    const auto styleAt = [e](long at) {
        const long style = e->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, at);
        return style == String || style == Comment || style == QuotedName;
    };
    long line = e->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, position);
    long at = e->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    while (at > 0 && styleAt(at - 1)) {
        const long lineStart = e->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, --line);
        while (at > lineStart && styleAt(at - 1)) {
            --at;
        }
        if (at > lineStart) {
            break; // the token starts within that line
        }
    }
    return int(at);
}

void SqlHighlighter::styleText(int start, int end) {
    if (!editor() || end <= start) {
        return;
    }
    const int from = restartPoint(start);
    const QByteArray bytes = editor()->bytes(from, end);
    const std::string_view text(bytes.constData(), std::size_t(end - from));
    const std::vector<vdata::SqlToken> tokens = vdata::lexSql(text, family_);
    startStyling(from);
    int styled = from;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const int to = from + int(tokens[i].offset + tokens[i].text.size());
        setStyling(to - styled, styleOf(tokens, i, keywords_));
        styled = to;
    }
    if (styled < end) {
        setStyling(end - styled, Default);
    }
}

} // namespace tk
