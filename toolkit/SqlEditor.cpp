#include "toolkit/SqlEditor.h"

#include "toolkit/SqlHighlighter.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QAction>
#include <QFontDatabase>

namespace tk {

SqlEditor::SqlEditor(QWidget* parent)
    : QsciScintilla(parent), highlighter_(new SqlHighlighter(this)) {
    setUtf8(true);
    setEolMode(EolUnix);
    setWrapMode(WrapNone);
    setAutoIndent(true);
    setBraceMatching(SloppyBraceMatch);
    setCaretLineVisible(true);
    setCaretLineBackgroundColor(QColor(0xf0, 0xf4, 0xff));
    setLexer(highlighter_);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setMarginsFont(fixed);
    setMarginType(0, NumberMargin);
    setMarginLineNumbers(0, true);
    connect(this, &QsciScintilla::linesChanged, this, &SqlEditor::fitLineNumbers);
    fitLineNumbers();

    // Ctrl+/ is the editor's own "word part left" unless it is freed here.
    const int commentKey = (Qt::CTRL | Qt::Key_Slash).toCombined();
    if (QsciCommand* taken = standardCommands()->boundTo(commentKey)) {
        if (taken->key() == commentKey) {
            taken->setKey(0);
        } else {
            taken->setAlternateKey(0);
        }
    }
    auto* comment = new QAction(this);
    comment->setShortcut(QKeySequence(commentKey));
    comment->setShortcutContext(Qt::WidgetShortcut);
    addAction(comment);
    connect(comment, &QAction::triggered, this, &SqlEditor::toggleComment);
}

// The margin holds the largest line number and a digit more, so that it
// does not widen at every tenth line.
void SqlEditor::fitLineNumbers() {
    setMarginWidth(0, QString(QString::number(lines()).size() + 1, QLatin1Char('9')));
}

void SqlEditor::toggleComment() {
    int fromLine = 0;
    int fromIndex = 0;
    int toLine = 0;
    int toIndex = 0;
    getSelection(&fromLine, &fromIndex, &toLine, &toIndex);
    if (fromLine < 0) {
        getCursorPosition(&fromLine, &fromIndex);
        toLine = fromLine;
    } else if (toIndex == 0 && toLine > fromLine) {
        --toLine; // a selection that ends at a line's start leaves that line alone
    }
    bool allCommented = true;
    for (int line = fromLine; line <= toLine && allCommented; ++line) {
        allCommented = text(line).trimmed().startsWith(QLatin1String("--"));
    }
    beginUndoAction();
    for (int line = fromLine; line <= toLine; ++line) {
        const QString lineText = text(line);
        if (!allCommented) {
            insertAt(QStringLiteral("-- "), line, 0);
            continue;
        }
        const int at = int(lineText.indexOf(QLatin1String("--")));
        const int length = lineText.mid(at + 2).startsWith(QLatin1Char(' ')) ? 3 : 2;
        setSelection(line, at, line, at + length);
        removeSelectedText();
    }
    endUndoAction();
}

} // namespace tk
