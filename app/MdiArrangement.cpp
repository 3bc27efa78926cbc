#include "app/MdiArrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace {

QList<QMdiSubWindow*> visibleWindows(const QMdiArea& area, bool minimized) {
    QList<QMdiSubWindow*> result;
    for (QMdiSubWindow* w : area.subWindowList(QMdiArea::CreationOrder)) {
        if (w->isVisible() && w->isMinimized() == minimized)
            result.append(w);
    }
    return result;
}

int iconStripHeight(const QMdiArea& area) {
    const QList<QMdiSubWindow*> icons = visibleWindows(area, true);
    return icons.isEmpty() ? 0 : icons.first()->height();
}

} // namespace

// Each window gets an equal share of the free space, but never less than it
// needs to show its controls whole: windows that do not fit side by side
// then reach beyond the area, which scrolls to them.
void tileSubWindows(QMdiArea& area, Qt::Orientation stacking) {
    const QList<QMdiSubWindow*> windows = visibleWindows(area, false);
    if (windows.isEmpty())
        return;
    QRect free = area.viewport()->rect();
    free.setBottom(free.bottom() - iconStripHeight(area));
    const int n = static_cast<int>(windows.size());
    const bool stacked = stacking == Qt::Vertical;
    int at = stacked ? free.top() : free.left();
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        const QSize least = w->minimumSizeHint();
        QRect cell;
        if (stacked) {
            const int share = free.height() * (i + 1) / n - free.height() * i / n;
            cell = QRect(free.left(), at, free.width(), std::max(share, least.height()));
            at = cell.bottom() + 1;
        } else {
            const int share = free.width() * (i + 1) / n - free.width() * i / n;
            cell = QRect(at, free.top(), std::max(share, least.width()), free.height());
            at = cell.right() + 1;
        }
        w->setGeometry(cell);
    }
    arrangeMinimizedSubWindows(area);
}

void arrangeMinimizedSubWindows(QMdiArea& area) {
    const QRect space = area.viewport()->rect();
    int x = space.left();
    int y = -1;
    for (QMdiSubWindow* w : visibleWindows(area, true)) {
        if (y < 0) {
            y = space.bottom() + 1 - w->height();
        } else if (x + w->width() > space.right() + 1) {
            x = space.left();
            y -= w->height();
        }
        w->move(x, y);
        x += w->width();
    }
}
