#include "toolkit/GridCellDelegate.h"

#include "toolkit/DatasetModel.h"
#include "toolkit/LongTextEditor.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaProperty>

#include <algorithm>
#include <limits>

namespace tk {

namespace {

const char* const loadedText = "veldmarkLoadedText";
const char* const refused = "veldmarkRefused";

QVariant editorValue(const QWidget* editor) {
    return editor->metaObject()->userProperty().read(editor);
}

} // namespace

GridCellDelegate::GridCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

// The cell being edited is framed in the highlight colour, so that it shows
// apart from the cells around it.
static const QString editorFrame =
    QStringLiteral("border: 2px solid palette(highlight); padding: 0px; margin: 0px;");

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    if (index.data(DatasetModel::LongTextRole).toBool()) {
        open_ = new LongTextEditor(parent);
        open_->setStyleSheet(QStringLiteral("LongTextEditor { %1 }").arg(editorFrame));
        return open_;
    }
    QWidget* editor = factory_ ? factory_(parent, index) : nullptr;
    if (!editor) {
        editor = QStyledItemDelegate::createEditor(parent, option, index);
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setMaxLength(std::numeric_limits<int>::max());
        line->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()) |
                           Qt::AlignVCenter);
        line->setStyleSheet(QStringLiteral("QLineEdit { %1 }").arg(editorFrame));
    }
    open_ = editor;
    return editor;
}

void GridCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (editor->property(loadedText).isValid()) {
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
    editor->setProperty(loadedText, editorValue(editor));
    // Typing replaces the value, as in the one-line editor.
    if (auto* text = qobject_cast<LongTextEditor*>(editor)) {
        text->selectAll();
    }
}

void GridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    const QVariant typed = editorValue(editor);
    if (typed == editor->property(loadedText)) {
        return;
    }
    if (model->setData(index, typed, Qt::EditRole)) {
        editor->setProperty(loadedText, typed);
    } else {
        editor->setProperty(refused, true);
    }
}

void GridCellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    if (open_ == editor) {
        open_ = nullptr;
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

bool GridCellDelegate::takeRefusal(QWidget* editor) {
    if (!editor || !editor->property(refused).toBool()) {
        return false;
    }
    editor->setProperty(refused, QVariant());
    return true;
}

void GridCellDelegate::placeCursorAtEnd(QWidget* editor) {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->deselect();
        line->end(false);
    } else if (auto* text = qobject_cast<LongTextEditor*>(editor)) {
        text->moveCursor(QTextCursor::End);
    }
}

// The multi-line editor stands over the cell and the rows below it.
void GridCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    if (qobject_cast<LongTextEditor*>(editor) && editor->parentWidget()) {
        constexpr int rows = 8;
        QRect area = option.rect;
        const int room = editor->parentWidget()->height() - area.top();
        area.setHeight(std::max(area.height(), std::min(area.height() * rows, room)));
        editor->setGeometry(area);
    }
}

// Focus that leaves for a message box, a popup or another program's window
// is not the user leaving the cell: the editor stays open with its text. Nor
// is focus that goes to the grid itself: the grid hands in the editor's text
// when the user moves to another cell.
bool GridCellDelegate::eventFilter(QObject* editor, QEvent* event) {
    if (event->type() == QEvent::KeyPress && qobject_cast<LongTextEditor*>(editor)) {
        // Return leaves the multi-line editor as it leaves the one-line one.
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !LongTextEditor::isNewLineKey(key)) {
            auto* widget = static_cast<QWidget*>(editor);
            emit commitData(widget);
            emit closeEditor(widget, QAbstractItemDelegate::SubmitModelCache);
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const QWidget* now = QApplication::focusWidget();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
            (now && now == parent())) {
            return false;
        }
    }
    return QStyledItemDelegate::eventFilter(editor, event);
}

} // namespace tk
