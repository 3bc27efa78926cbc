#pragma once

// The program connected to a copy of the Chinook SQLite database (one the
// test may write to), with helpers to find its data windows and to pick
// context-menu items of a grid as a person does: a right-click on the cell,
// then a click on each item of the path (submenus included).

#include "tests/support/GridDriver.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/TestDb.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTimer>

namespace chinook {

inline QString original() {
    return QStringLiteral(ACCESS_TESTDATA "/../chinook/Chinook_Sqlite.sqlite");
}

struct Program : ProgramFixture {
    // `script` runs on the copy first, foreign keys unchecked.
    explicit Program(const std::string& script = {}) {
        path = dir.filePath(QStringLiteral("chinook.sqlite"));
        QFile::copy(original(), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        if (!script.empty()) {
            testdb::run(path, "PRAGMA foreign_keys = OFF;\n" + script);
        }
        dm.connection.setConnectionString(testdb::jetString(path));
        dm.connection.open();
        dialogs.clear();
    }

    DataWindow* active() const {
        QMdiSubWindow* frame = form.MdiClient->activeSubWindow();
        return frame ? qobject_cast<DataWindow*>(frame->widget()) : nullptr;
    }
    // The table view of `table` opened from the tree, with a driver on its grid.
    gridtest::Driver open(const QString& table) {
        DataWindow* w = click(QStringLiteral("Tables"), table);
        return gridtest::Driver(w->master().Grid);
    }
};

// The text of an item without its mnemonic mark.
inline QString plain(const QAction* action) {
    return action->text().remove(QLatin1Char('&'));
}

// Clicks the item named `path.first()` in the open popup, then the rest in
// the submenu it opens; false when one is missing or disabled.
inline bool clickPath(QStringList path) {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    for (QAction* a : menu ? menu->actions() : QList<QAction*>()) {
        if (plain(a) != path.first() || !a->isEnabled()) {
            continue;
        }
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        path.removeFirst();
        if (path.isEmpty()) {
            return true;
        }
        const bool opened =
            QTest::qWaitFor([menu] { return QApplication::activePopupWidget() != menu; }, 2000);
        return opened && clickPath(path);
    }
    return false;
}

// A right-click on the cell, then the items of `path`.
inline bool chooseFromMenu(const gridtest::Driver& d, int row, int column,
                           const QStringList& path) {
    const QPoint at = d.centre(row, column);
    QTest::mouseClick(d.grid->viewport(), Qt::RightButton, {}, at);
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        chosen = clickPath(path);
        while (QApplication::activePopupWidget()) {
            QApplication::activePopupWidget()->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, d.grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(d.grid->viewport(), &event);
    return chosen;
}

} // namespace chinook
