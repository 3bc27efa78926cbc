#include "toolkit/SqlEditor.h"

#include "toolkit/FindBar.h"
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

    addKey(Qt::CTRL | Qt::Key_Slash, [this] { toggleComment(); });
    addKey(Qt::CTRL | Qt::Key_F, [this] { findBar()->open(false); });
    addKey(Qt::CTRL | Qt::Key_H, [this] { findBar()->open(true); });
}

// Binds a key of the editor's own to `action`, freeing it first when the
// editor's standard commands use it (Ctrl+/ is "word part left" there).
void SqlEditor::addKey(QKeyCombination key, const std::function<void()>& action) {
    const int combined = key.toCombined();
    if (QsciCommand* taken = standardCommands()->boundTo(combined)) {
        if (taken->key() == combined) {
            taken->setKey(0);
        } else {
            taken->setAlternateKey(0);
        }
    }
    auto* shortcut = new QAction(this);
    shortcut->setShortcut(QKeySequence(key));
    shortcut->setShortcutContext(Qt::WidgetShortcut);
    addAction(shortcut);
    connect(shortcut, &QAction::triggered, this, action);
}

FindBar* SqlEditor::findBar() {
    if (!findBar_) {
        findBar_ = new FindBar(this);
    }
    return findBar_;
}

void SqlEditor::resizeEvent(QResizeEvent* event) {
    QsciScintilla::resizeEvent(event);
    if (findBar_ && findBar_->isVisible()) {
        findBar_->place();
    }
}

// The margin holds the largest line number and a digit more, so that it
// does not widen at every tenth line.
void SqlEditor::fitLineNumbers() {
    setMarginWidth(0, QString(QString::number(lines()).size() + 1, QLatin1Char('9')));
}

void SqlEditor::setSqlFamily(vdata::SqlFamily family) {
    family_ = family;
    highlighter_->setFamily(family);
    recolor();
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
