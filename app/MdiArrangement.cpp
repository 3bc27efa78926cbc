#include "app/MdiArrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

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

void tileSubWindows(QMdiArea& area, Qt::Orientation stacking) {
    const QList<QMdiSubWindow*> windows = visibleWindows(area, false);
    if (windows.isEmpty())
        return;
    QRect free = area.viewport()->rect();
    free.setBottom(free.bottom() - iconStripHeight(area));
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        QRect cell;
        if (stacking == Qt::Vertical) {
            const int top = free.top() + free.height() * i / n;
            const int bottom = free.top() + free.height() * (i + 1) / n;
            cell = QRect(free.left(), top, free.width(), bottom - top);
        } else {
            const int left = free.left() + free.width() * i / n;
            const int right = free.left() + free.width() * (i + 1) / n;
            cell = QRect(left, free.top(), right - left, free.height());
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
