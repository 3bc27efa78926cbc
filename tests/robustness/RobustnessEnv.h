#pragma once

// The whole program on one main window, driven through its menus and its
// tree as a person does: open a file, click a table, work in the window,
// disconnect.

#include "tests/windows/GridDriver.h"
#include "tests/windows/WindowTestEnv.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidget>

namespace robust {

struct Program {
    ScriptedDialogs dialogs;
    ConnectionManager dm;
    MainWindow form;

    Program() {
        tk::setApplicationTitle(wintest::appTitle);
        form.resize(900, 600);
        form.show();
    }

    // File > Open on `path`; a password prompt, if any, is cancelled.
    void open(const QString& path) {
        dialogs.fileAnswers.push_back(path);
        dialogs.promptAnswers.push_back(QString());
        form.actFileOpen->trigger();
    }

    // The tables the tree lists.
    QList<QTreeWidgetItem*> tables() const {
        QList<QTreeWidgetItem*> result;
        for (int i = 0; i < form.DBTree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* root = form.DBTree->topLevelItem(i);
            if (root->text(0) == QLatin1String("Tables")) {
                for (int k = 0; k < root->childCount(); ++k) {
                    result << root->child(k);
                }
            }
        }
        return result;
    }

    // Clicks the node's row in the tree; returns the data window it opened.
    DataWindow* click(QTreeWidgetItem* item) {
        form.DBTree->scrollToItem(item);
        const QRect row = form.DBTree->visualItemRect(item);
        QTest::mouseClick(form.DBTree->viewport(), Qt::LeftButton, {}, row.center());
        const QList<QMdiSubWindow*> subs = form.MdiClient->subWindowList(QMdiArea::CreationOrder);
        return subs.isEmpty() ? nullptr : qobject_cast<DataWindow*>(subs.last()->widget());
    }

    int windowCount() const { return int(form.MdiClient->subWindowList().size()); }

    // Closes the active data window with the main window's close button.
    void closeActive() {
        QTest::mouseClick(form.CloseButton, Qt::LeftButton);
        settle();
    }

    // The Disconnect menu command.
    void disconnect() {
        form.mnuDisconnect->trigger();
        settle();
    }

    // What the program's event loop does between two commands: closed
    // windows are freed and posted events delivered (the test has no loop
    // running, and undelivered events would pile up).
    static void settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

} // namespace robust
