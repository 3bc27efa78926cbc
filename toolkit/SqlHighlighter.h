#pragma once

#include "data/service/SqlLexer.h"

#include <Qsci/qscilexercustom.h>

#include <string>
#include <unordered_set>

namespace tk {

// Colours SQL text as the data-access service's own tokenizer reads it, so
// that what shows as a string, a comment or a name is what the engine will
// take for one: keywords, strings, numbers, comments, quoted names and
// parameters (":name"), each engine's own keywords among them.
class SqlHighlighter : public QsciLexerCustom {
    Q_OBJECT
public:
    enum Style { Default, Keyword, String, Number, Comment, QuotedName, Parameter, StyleCount };

    explicit SqlHighlighter(QObject* parent = nullptr);

    // Reads the text as `family` writes SQL from the next styling on.
    void setFamily(vdata::SqlFamily family);

    const char* language() const override { return "SQL"; }
    QString description(int style) const override;
    QColor defaultColor(int style) const override;
    QFont defaultFont(int style) const override;
    void styleText(int start, int end) override;

private:
    int restartPoint(int position) const;

    vdata::SqlFamily family_ = vdata::SqlFamily::Standard;
    std::unordered_set<std::string> keywords_;
};

} // namespace tk
