#include "windows/RowHistory.h"

#include "toolkit/DBGrid.h"
#include "toolkit/ErrorReport.h"
#include "windows/DataSetPanel.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

RowHistory::RowHistory(QWidget* window) : QObject(window) {
    const auto key = [window](QKeySequence sequence, auto handler) {
        auto* action = new QAction(window);
        action->setShortcut(sequence);
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
        connect(action, &QAction::triggered, window, tk::handler(handler));
    };
    key(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { back(); });
    key(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { forward(); });
}

void RowHistory::followed(const RowPlace& from, const RowPlace& to) {
    dropClosed();
    places_.resize(static_cast<std::size_t>(index_ + 1));
    if (places_.empty()) {
        places_.push_back(from);
    } else {
        places_.back() = from;
    }
    places_.push_back(to);
    index_ = static_cast<int>(places_.size()) - 1;
}

RowPlace RowHistory::placeOf(DataSetPanel& panel) {
    const QModelIndex cell = panel.Grid->currentIndex();
    return {&panel, panel.query().currentRow(), cell.isValid() ? cell.column() : 0};
}

// The row the user moved to in the current place is where a step back to it
// returns.
void RowHistory::step(int by) {
    dropClosed();
    const int target = index_ + by;
    if (target < 0 || target >= static_cast<int>(places_.size())) {
        return;
    }
    QWidget* focus = QApplication::focusWidget();
    RowPlace& here = places_[static_cast<std::size_t>(index_)];
    if (here.panel && here.panel->isAncestorOf(focus)) {
        here = placeOf(*here.panel);
    }
    index_ = target;
    show(places_[static_cast<std::size_t>(index_)]);
}

void RowHistory::dropClosed() {
    const auto closed = [](const RowPlace& place) { return place.panel.isNull(); };
    const auto current = places_.begin() + std::max(index_, 0);
    index_ -= static_cast<int>(std::count_if(places_.begin(), current, closed));
    places_.erase(std::remove_if(places_.begin(), places_.end(), closed), places_.end());
    index_ = std::min(index_, static_cast<int>(places_.size()) - 1);
}

void RowHistory::show(const RowPlace& place) {
    DataSetPanel* panel = place.panel;
    for (QWidget* w = panel; w; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w); frame && frame->mdiArea()) {
            frame->mdiArea()->setActiveSubWindow(frame);
            break;
        }
    }
    tk::DBGrid* grid = panel->Grid;
    grid->setFocus(Qt::OtherFocusReason);
    const int rows = grid->model()->rowCount();
    if (rows > 0) {
        grid->setCurrentIndex(grid->model()->index(std::min(place.row, rows - 1), place.column));
    }
}
