#include "toolkit/SqlCompleter.h"

#include "toolkit/CompletionList.h"
#include "toolkit/SqlEditor.h"
#include "toolkit/SqlHighlighter.h"

#include <QAction>
#include <QKeyEvent>

#include <algorithm>
#include <cctype>

namespace tk {

namespace {

bool startsName(int c) {
    return c >= 0x80 || std::isalnum(c) || c == '_' || c == '.' || c == '"' || c == '`' || c == '[';
}

} // namespace

SqlCompleter::SqlCompleter(SqlEditor* editor)
    : QObject(editor), editor_(editor), list_(new CompletionList(editor)) {
    connect(editor, &QsciScintillaBase::SCN_CHARADDED, this, &SqlCompleter::charAdded);
    connect(list_, &CompletionList::chosen, this, &SqlCompleter::choose);
    auto* complete = new QAction(editor);
    complete->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
    complete->setShortcutContext(Qt::WidgetShortcut);
    editor->addAction(complete);
    connect(complete, &QAction::triggered, this, &SqlCompleter::showAtCaret);
    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
}

void SqlCompleter::setCatalog(std::shared_ptr<const vdata::SchemaCatalog> catalog) {
    catalog_ = std::move(catalog);
}

std::string_view SqlCompleter::text() const {
    const auto* bytes =
        reinterpret_cast<const char*>(editor_->SendScintilla(SqlEditor::SCI_GETCHARACTERPOINTER));
    return {bytes, static_cast<std::size_t>(editor_->SendScintilla(SqlEditor::SCI_GETLENGTH))};
}

std::size_t SqlCompleter::caret() const {
    return static_cast<std::size_t>(editor_->SendScintilla(SqlEditor::SCI_GETCURRENTPOS));
}

// The ';' at `pos` ends a statement unless the highlighter styled it as
// part of a string, a comment or a quoted name (styling it first if needed).
bool SqlCompleter::endsStatement(std::size_t pos) const {
    const auto end = static_cast<long>(pos + 1);
    if (editor_->SendScintilla(SqlEditor::SCI_GETENDSTYLED) < end) {
        editor_->SendScintilla(SqlEditor::SCI_COLOURISE,
                               editor_->SendScintilla(SqlEditor::SCI_GETENDSTYLED), end);
    }
    const long style =
        editor_->SendScintilla(SqlEditor::SCI_GETSTYLEAT, static_cast<unsigned long>(pos));
    return style != SqlHighlighter::String && style != SqlHighlighter::Comment &&
           style != SqlHighlighter::QuotedName;
}

// What fits at the caret, read from the statement that holds it only (between
// the ';' before the caret and the one after), so that a long script costs
// no more than one statement.
vdata::Completion SqlCompleter::atCaret(bool joinClause) const {
    const std::string_view all = text();
    const std::size_t at = caret();
    std::size_t begin = 0;
    for (std::size_t semi = at; semi > 0;) {
        semi = all.rfind(';', semi - 1);
        if (semi == std::string_view::npos) {
            break;
        }
        if (endsStatement(semi)) {
            begin = semi + 1;
            break;
        }
    }
    std::size_t end = all.find(';', at);
    while (end != std::string_view::npos && !endsStatement(end)) {
        end = all.find(';', end + 1);
    }
    const std::string_view statement = all.substr(begin, std::min(end, all.size()) - begin);
    vdata::Completion c = joinClause ? vdata::joinClauseAt(statement, at - begin, catalog_.get())
                                     : vdata::completeSql(statement, at - begin, catalog_.get());
    c.from += begin;
    c.to += begin;
    return c;
}

bool SqlCompleter::listShown() const {
    return list_->isVisible();
}

bool SqlCompleter::showAtCaret() {
    return show(atCaret(false));
}

// A name's character asks for the list; a blank only where join conditions
// are offered ("... ON "); anything else closes it.
void SqlCompleter::charAdded(int c) {
    if (startsName(c)) {
        showAtCaret();
        return;
    }
    const vdata::Completion completion = atCaret(false);
    const bool joins = c == ' ' && !completion.items.empty() &&
                       completion.items.front().kind == vdata::Completion::Kind::JoinCondition;
    if (joins) {
        show(completion);
    } else {
        hide();
    }
}

// The list opens below the first character it replaces.
bool SqlCompleter::show(const vdata::Completion& completion) {
    const bool typedInFull =
        completion.items.size() == 1 &&
        completion.items.front().text == text().substr(completion.from, caret() - completion.from);
    if (completion.items.empty() || typedInFull) {
        hide();
        return false;
    }
    from_ = completion.from;
    QStringList items;
    items.reserve(qsizetype(completion.items.size()));
    for (const vdata::Completion::Item& item : completion.items) {
        items << QString::fromStdString(item.text);
    }
    const auto from = static_cast<unsigned long>(from_);
    const int x = int(editor_->SendScintilla(SqlEditor::SCI_POINTXFROMPOSITION, 0UL, long(from)));
    const int y = int(editor_->SendScintilla(SqlEditor::SCI_POINTYFROMPOSITION, 0UL, long(from)));
    const int line = int(editor_->SendScintilla(SqlEditor::SCI_TEXTHEIGHT, 0UL, 0L));
    QWidget* area = editor_->viewport();
    list_->offer(items, area->mapToGlobal(QPoint(x, y + line)),
                 area->mapToGlobal(QPoint(x, y)).y());
    return true;
}

void SqlCompleter::hide() {
    list_->hide();
}

// The chosen item takes the place of what was typed of it.
void SqlCompleter::choose(const QString& chosen) {
    hide();
    const std::size_t to = caret();
    const QByteArray bytes = chosen.toUtf8();
    const auto from = static_cast<unsigned long>(std::min(from_, to));
    editor_->SendScintilla(SqlEditor::SCI_SETTARGETRANGE, from, static_cast<long>(to));
    editor_->SendScintilla(SqlEditor::SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()),
                           bytes.constData());
    editor_->SendScintilla(SqlEditor::SCI_GOTOPOS, from + static_cast<unsigned long>(bytes.size()));
}

// The keys that work the open list; whether `key` was one.
bool SqlCompleter::listKey(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        list_->move(key == Qt::Key_Up ? -1 : 1);
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        list_->move(key == Qt::Key_PageUp ? -list_->pageRows() : list_->pageRows());
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        choose(list_->current());
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return false;
    }
}

// With the list open, its keys work the list; a click in the text or the
// editor losing the keyboard closes it. With the list closed, Tab after
// "JOIN t [alias]" offers the ON clause.
bool SqlCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut || event->type() == QEvent::MouseButtonPress) {
        hide();
    } else if (watched == editor_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain =
            key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        if (listShown()) {
            if (plain && listKey(key->key())) {
                return true;
            }
            // Keys that move the caret or delete close it; typed text
            // shows it again as it fits then.
            if (key->text().isEmpty() || key->key() == Qt::Key_Backspace ||
                key->key() == Qt::Key_Delete) {
                hide();
            }
            return false;
        }
        if (plain && key->key() == Qt::Key_Tab) {
            return show(atCaret(true));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tk
