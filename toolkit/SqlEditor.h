#pragma once

#include <Qsci/qsciscintilla.h>

namespace tk {

class SqlHighlighter;

// The freehand window's SQL text: a code editor with line numbers, the
// current line marked, matching brackets shown, indentation that follows
// the line above, no line wrap, undo and redo, SQL highlighted as the
// service's tokenizer reads it, and Ctrl+/ to comment lines in and out.
// Lines end with "\n" whatever the platform.
class SqlEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit SqlEditor(QWidget* parent = nullptr);

    // Puts "-- " before each line of the selection (the caret's line when
    // none), or takes it away when every such line has it.
    void toggleComment();

private:
    void fitLineNumbers();

    SqlHighlighter* highlighter_;
};

} // namespace tk
