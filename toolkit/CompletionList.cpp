#include "toolkit/CompletionList.h"

#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>

#include <algorithm>

namespace tk {

namespace {

constexpr int visibleRows = 10;
// The width is fitted to this many items at most: measuring every item of
// a long list would cost more than the list itself.
constexpr int measuredItems = 200;

} // namespace

CompletionList::CompletionList(QWidget* owner)
    : QListView(owner), model_(new QStringListModel(this)) {
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setUniformItemSizes(true);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setModel(model_);
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit chosen(index.data().toString()); });
}

void CompletionList::offer(const QStringList& items, QPoint at, int above) {
    model_->setStringList(items);
    setCurrentIndex(model_->index(0));
    const QFontMetrics metrics(font());
    int width = 0;
    for (int i = 0; i < std::min<int>(int(items.size()), measuredItems); ++i) {
        width = std::max(width, metrics.horizontalAdvance(items[i]));
    }
    const int rows = std::min<int>(int(items.size()), visibleRows);
    const int height = rows * std::max(sizeHintForRow(0), metrics.height()) + 2 * frameWidth();
    width +=
        2 * frameWidth() + 24 + (items.size() > rows ? verticalScrollBar()->sizeHint().width() : 0);
    const QScreen* screen = QWidget::screen();
    if (screen && at.y() + height > screen->availableGeometry().bottom()) {
        at.setY(above - height);
    }
    setGeometry(QRect(at, QSize(width, height)));
    show();
}

QString CompletionList::current() const {
    return currentIndex().data().toString();
}

void CompletionList::move(int rows) {
    const int last = model_->rowCount() - 1;
    setCurrentIndex(model_->index(std::clamp(currentIndex().row() + rows, 0, last)));
}

int CompletionList::pageRows() const {
    return visibleRows - 1;
}

} // namespace tk
