#include "toolkit/SqlEditor.h"

#include "toolkit/FindBar.h"
#include "toolkit/SqlHighlighter.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QFontDatabase>

namespace tk {

namespace {

// The editor's own accessibility interface counts the characters before the
// caret at every screen update, a pass over the text at each key. Without a
// screen reader listening there is no one to tell, so the editor gets the
// plain widget interface; with one, the editor's own.
QAccessibleInterface* plainAccessible(const QString& key, QObject* object) {
    if (key == QLatin1String("tk::SqlEditor") && !QAccessible::isActive()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
    }
    return nullptr;
}

} // namespace

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
    static const bool plain = (QAccessible::installFactory(plainAccessible), true);
    Q_UNUSED(plain)
    if (!QAccessible::isActive()) {
        reportChangesLater();
    }
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

// The editor's own report of each insertion and deletion also tells the
// accessibility layer where it happened as a count of characters from the
// text's start, which costs a pass over everything before the caret at
// every key: 20 ms a key at the end of a 100,000-line script. When no
// screen reader listens, only the
// notes sent before a change are asked for, and the text's change is told
// once the event that made it is over (several changes of one event
// together).
void SqlEditor::reportChangesLater() {
    // A note is sent when any of its bits is asked for; the bits that tell
    // how a change was made come with the insertions and deletions too.
    constexpr int how = SC_PERFORMED_USER | SC_PERFORMED_UNDO | SC_PERFORMED_REDO |
                        SC_MULTISTEPUNDOREDO | SC_LASTSTEPINUNDOREDO | SC_MULTILINEUNDOREDO |
                        SC_STARTACTION;
    SendScintilla(SCI_SETMODEVENTMASK,
                  static_cast<unsigned long>(SC_MODEVENTMASKALL &
                                             ~(SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT | how)));
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this, [this](int, int type) {
        if ((type & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE)) == 0 || changeReportDue_) {
            return;
        }
        changeReportDue_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                changeReportDue_ = false;
                fitLineNumbers();
                emit textChanged();
            },
            Qt::QueuedConnection);
    });
}

// The margin holds the largest line number and a digit more, so that it
// does not widen at every tenth line.
void SqlEditor::fitLineNumbers() {
    if (lines() == numberedLines_) {
        return;
    }
    numberedLines_ = lines();
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
