#pragma once

#include "data/service/SqlLexer.h"

#include <Qsci/qsciscintilla.h>

#include <functional>

namespace tk {

class FindBar;
class SqlHighlighter;

// The freehand window's SQL text: a code editor with line numbers, the
// current line marked, matching brackets shown, indentation that follows
// the line above, no line wrap, undo and redo, SQL highlighted as the
// service's tokenizer reads it, Ctrl+/ to comment lines in and out, and
// Ctrl+F and Ctrl+H to find and replace.
// Lines end with "\n" whatever the platform.
class SqlEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit SqlEditor(QWidget* parent = nullptr);

    // Puts "-- " before each line of the selection (the caret's line when
    // none), or takes it away when every such line has it.
    void toggleComment();

    // Whose SQL the text is: what is a string, a comment or a keyword, and
    // where statements end.
    void setSqlFamily(vdata::SqlFamily family);
    vdata::SqlFamily sqlFamily() const { return family_; }

    // The find and replace bar (made on first use).
    FindBar* findBar();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitLineNumbers();
    void reportChangesLater();
    void addKey(QKeyCombination key, const std::function<void()>& action);

    SqlHighlighter* highlighter_;
    FindBar* findBar_ = nullptr;
    bool changeReportDue_ = false;
    int numberedLines_ = -1;
    vdata::SqlFamily family_ = vdata::SqlFamily::Standard;
};

} // namespace tk
