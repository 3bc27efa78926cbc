#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>

class QLineEdit;

namespace tk {

// The cell editor of a data grid. An open editor belongs to the user: it is
// loaded once with the cell's text and never reloaded while open, so a change
// of the record around it cannot overwrite what is being typed. It holds any
// length of text, and leaving it unchanged writes nothing. A value the cell
// refuses is remembered so that the grid keeps the editor open. Long and
// multi-line values open in a multi-line editor under the same rules.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridCellDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // Makes the one-line editor of a cell whose editor `factory` gives (null:
    // the default); a factory's editor is a QLineEdit, whose text is the value.
    using EditorFactory = std::function<QLineEdit*(QWidget* parent, const QModelIndex& index)>;
    void setEditorFactory(EditorFactory factory) { factory_ = std::move(factory); }

    // The editor now open, or null.
    QWidget* openEditor() const { return open_; }
    // True once when the last commit of `editor` was refused (and clears it).
    static bool takeRefusal(QWidget* editor);
    // Puts the text cursor at the end instead of selecting the whole text.
    static void placeCursorAtEnd(QWidget* editor);

protected:
    bool eventFilter(QObject* editor, QEvent* event) override;

private:
    mutable QPointer<QWidget> open_;
    EditorFactory factory_;
};

} // namespace tk
