#pragma once

#include <Qsci/qscilexercustom.h>

namespace tk {

// Colours SQL text as the data-access service's own tokenizer reads it, so
// that what shows as a string, a comment or a name is what the engine will
// take for one: keywords, strings, numbers, comments, quoted names and
// parameters (":name").
class SqlHighlighter : public QsciLexerCustom {
    Q_OBJECT
public:
    enum Style { Default, Keyword, String, Number, Comment, QuotedName, Parameter, StyleCount };

    explicit SqlHighlighter(QObject* parent = nullptr);

    const char* language() const override { return "SQL"; }
    QString description(int style) const override;
    QColor defaultColor(int style) const override;
    QFont defaultFont(int style) const override;
    void styleText(int start, int end) override;
};

} // namespace tk
