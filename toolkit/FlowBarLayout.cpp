#include "toolkit/FlowBarLayout.h"

#include <QWidget>

#include <algorithm>

namespace tk {

FlowBarLayout::FlowBarLayout(QWidget* parent) : QLayout(parent) {}

FlowBarLayout::~FlowBarLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowBarLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* FlowBarLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

QSize FlowBarLayout::minimumSize() const {
    QSize size;
    for (const QLayoutItem* item : items_) {
        size = size.expandedTo(item->minimumSize());
    }
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowBarLayout::sizeHint() const {
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : items_) {
        width += item->sizeHint().width() + (width > 0 ? spacing() : 0);
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

void FlowBarLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowBarLayout::arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = std::max(0, spacing());
    int y = area.top();
    QList<QLayoutItem*> row;
    int rowWidth = 0;
    int rowHeight = 0;
    const auto endRow = [&] {
        placeRow(row, area.left(), y, area.width(), rowHeight, apply);
        y += rowHeight + gap;
        row.clear();
        rowWidth = 0;
        rowHeight = 0;
    };
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) {
            continue;
        }
        const int width = item->minimumSize().width();
        if (!row.isEmpty() && rowWidth + gap + width > area.width()) {
            endRow();
        }
        rowWidth += (row.isEmpty() ? 0 : gap) + width;
        rowHeight = std::max({rowHeight, item->sizeHint().height(), item->minimumSize().height()});
        row.append(item);
    }
    if (!row.isEmpty()) {
        endRow();
    }
    const QMargins m = contentsMargins();
    return y - gap - area.top() + m.top() + m.bottom();
}

void FlowBarLayout::placeRow(const QList<QLayoutItem*>& row, int x, int y, int width, int height,
                             bool apply) const {
    if (!apply) {
        return;
    }
    const int gap = std::max(0, spacing());
    QList<int> widths;
    int spare = width - gap * (static_cast<int>(row.size()) - 1);
    for (const QLayoutItem* item : row) {
        widths.append(item->minimumSize().width());
        spare -= widths.back();
    }
    for (int i = 0; i < row.size() && spare > 0; ++i) {
        if (row[i]->expandingDirections() & Qt::Horizontal) {
            const int grow = std::min(spare, row[i]->maximumSize().width() - widths[i]);
            widths[i] += std::max(0, grow);
            spare -= std::max(0, grow);
        }
    }
    for (int i = 0; i < row.size(); ++i) {
        if (i == row.size() - 1 && row.size() > 1) {
            x += std::max(0, spare); // the last panel stands at the right end
        }
        row[i]->setGeometry(QRect(x, y, widths[i], height));
        x += widths[i] + gap;
    }
}

} // namespace tk
