#include "windows/LookupEditor.h"

#include <QKeyEvent>
#include <QListView>

#include <algorithm>

LookupEditor::LookupEditor(vdata::Connection& connection, LookupRows::Source source,
                           QWidget* parent)
    : QLineEdit(parent), rows_(new LookupRows(connection, std::move(source), this)),
      list_(new QListView(parent)) {
    list_->setObjectName(QStringLiteral("LookupList"));
    // The keyboard stays in the editor, also when the list is clicked.
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setUniformItemSizes(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setModel(rows_);
    list_->hide();
    rows_->search(QString());
    connect(this, &QLineEdit::textEdited, rows_, &LookupRows::search);
    connect(list_, &QListView::clicked, this, &LookupEditor::take);
}

LookupEditor::~LookupEditor() {
    delete list_;
}

void LookupEditor::take(const QModelIndex& index) {
    if (index.isValid()) {
        list_->setCurrentIndex(index);
        setText(rows_->keyAt(index.row()));
        selectAll();
    }
}

// Keys that go past the rows read so far read the next pages first, as
// scrolling the list with the mouse does.
void LookupEditor::step(int rows) {
    const QModelIndex now = list_->currentIndex();
    const int target = now.isValid() ? now.row() + rows : 0;
    while (target >= rows_->rowCount() && rows_->canFetchMore({})) {
        rows_->fetchMore({});
    }
    const int count = rows_->rowCount();
    if (count > 0) {
        take(rows_->index(std::clamp(target, 0, count - 1)));
    }
}

void LookupEditor::keyPressEvent(QKeyEvent* event) {
    const int page = shownRows - 1;
    int rows = 0;
    switch (event->key()) {
    case Qt::Key_Down:
        rows = 1;
        break;
    case Qt::Key_Up:
        rows = -1;
        break;
    case Qt::Key_PageDown:
        rows = page;
        break;
    case Qt::Key_PageUp:
        rows = -page;
        break;
    default:
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    step(rows);
    event->accept();
}

void LookupEditor::placeList() {
    const QWidget* area = list_->parentWidget();
    const int rowHeight =
        list_->sizeHintForRow(0) > 0 ? list_->sizeHintForRow(0) : fontMetrics().height() + 4;
    const int height = shownRows * rowHeight + 2 * list_->frameWidth();
    const QRect cell = geometry();
    const bool below = cell.bottom() + height < area->height() || cell.top() < height;
    const int width = std::max(cell.width(), fontMetrics().averageCharWidth() * 40);
    list_->setGeometry(cell.left(), below ? cell.bottom() + 1 : cell.top() - height, width, height);
}

void LookupEditor::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    placeList();
}

void LookupEditor::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    placeList();
}

void LookupEditor::showEvent(QShowEvent* event) {
    QLineEdit::showEvent(event);
    placeList();
    list_->show();
    list_->raise();
}

void LookupEditor::hideEvent(QHideEvent* event) {
    QLineEdit::hideEvent(event);
    if (list_) {
        list_->hide();
    }
}
