#include "toolkit/FindBar.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>

namespace tk {

namespace {

QToolButton* button(const QString& text, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

FindBar::FindBar(QsciScintilla* editor)
    : QFrame(editor), editor_(editor), find_(new QLineEdit(this)), replace_(new QLineEdit(this)),
      matchCase_(new QCheckBox(QStringLiteral("Match case"), this)), replaceRow_(new QWidget(this)),
      note_(new QLabel(this)) {
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    find_->setObjectName(QStringLiteral("FindText"));
    find_->setPlaceholderText(QStringLiteral("Find"));
    replace_->setObjectName(QStringLiteral("ReplaceText"));
    replace_->setPlaceholderText(QStringLiteral("Replace with"));
    matchCase_->setFocusPolicy(Qt::NoFocus);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 3, 4, 3);
    grid->setSpacing(3);
    auto* next = button(QStringLiteral("Next"), this);
    auto* previous = button(QStringLiteral("Previous"), this);
    auto* close = button(QStringLiteral("\u00d7"), this);
    close->setToolTip(QStringLiteral("Close (Escape)"));
    grid->addWidget(find_, 0, 0);
    grid->addWidget(previous, 0, 1);
    grid->addWidget(next, 0, 2);
    grid->addWidget(matchCase_, 0, 3);
    grid->addWidget(close, 0, 4);
    auto* row = new QHBoxLayout(replaceRow_);
    row->setContentsMargins(0, 0, 0, 0);
    auto* one = button(QStringLiteral("Replace"), replaceRow_);
    auto* all = button(QStringLiteral("Replace all"), replaceRow_);
    row->addWidget(replace_);
    row->addWidget(one);
    row->addWidget(all);
    grid->addWidget(replaceRow_, 1, 0, 1, 4);
    grid->addWidget(note_, 2, 0, 1, 5);

    connect(next, &QToolButton::clicked, this, [this] { findNext(false); });
    connect(previous, &QToolButton::clicked, this, [this] { findNext(true); });
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        editor_->setFocus();
    });
    connect(one, &QToolButton::clicked, this, &FindBar::replaceOne);
    connect(all, &QToolButton::clicked, this, &FindBar::replaceAll);
    find_->installEventFilter(this);
    replace_->installEventFilter(this);
    hide();
}

void FindBar::open(bool replacing) {
    if (editor_->hasSelectedText() || !editor_->selectedText().isEmpty()) {
        const QString selected = editor_->selectedText();
        if (!selected.contains(QLatin1Char('\n'))) {
            find_->setText(selected);
        }
    }
    replaceRow_->setVisible(replacing);
    note_->clear();
    note_->hide();
    show();
    raise();
    place();
    find_->setFocus();
    find_->selectAll();
}

// The bar sits in the top right corner of the text, clear of the scroll bar.
void FindBar::place() {
    adjustSize();
    const QRect area = editor_->viewport()->geometry();
    move(area.right() - width() - 2, area.top() + 2);
}

bool FindBar::findNext(bool backward) {
    if (find_->text().isEmpty()) {
        return false;
    }
    int line = 0;
    int index = 0;
    int toLine = 0;
    int toIndex = 0;
    editor_->getSelection(&line, &index, &toLine, &toIndex);
    if (line < 0) {
        editor_->getCursorPosition(&line, &index);
        toLine = line;
        toIndex = index;
    }
    // Forward from the selection's end, backward from its start, so that the
    // match found last is not found again.
    const bool found = backward ? findFrom(line, index, true) : findFrom(toLine, toIndex, false);
    showFound(found);
    return found;
}

bool FindBar::findFrom(int line, int index, bool backward) {
    return editor_->findFirst(find_->text(), false, matchCase_->isChecked(), false, true, !backward,
                              line, index, true);
}

void FindBar::showFound(bool found) {
    note_->setVisible(!found);
    note_->setText(found ? QString() : QStringLiteral("Not found"));
    place();
}

// Replaces the selection when it is a match, then finds the next one.
void FindBar::replaceOne() {
    const QString selected = editor_->selectedText();
    const Qt::CaseSensitivity cs =
        matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!selected.isEmpty() && selected.compare(find_->text(), cs) == 0) {
        editor_->replaceSelectedText(replace_->text());
    }
    findNext(false);
}

int FindBar::replaceAll() {
    if (find_->text().isEmpty()) {
        return 0;
    }
    int count = 0;
    editor_->beginUndoAction();
    bool found = editor_->findFirst(find_->text(), false, matchCase_->isChecked(), false, false,
                                    true, 0, 0, false);
    while (found) {
        editor_->replace(replace_->text());
        ++count;
        found = editor_->findNext();
    }
    editor_->endUndoAction();
    note_->setText(QStringLiteral("%1 replaced").arg(count));
    note_->show();
    place();
    return count;
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QFrame::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        hide();
        editor_->setFocus();
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (watched == replace_) {
            replaceOne();
        } else {
            findNext(key->modifiers() & Qt::ShiftModifier);
        }
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace tk
