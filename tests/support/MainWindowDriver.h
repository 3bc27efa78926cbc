#pragma once

// Drives the main window as a person does: shown and active, nodes of the
// database tree clicked with the mouse, its data windows and its recent-files
// list read off; the demo databases made; and a settings folder of the test's own, so that what the
// program remembers can be read by a second start.

#include "app/MainWindow.h"
#include "components/RecentFiles.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindow.h"
#include "windows/RelationSetup.h"

#include <QByteArray>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace mainwin {

inline void showActive(QWidget& w) {
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// The tree node `text` under `parent` (empty for a root), or null.
inline QTreeWidgetItem* node(MainWindow& form, const QString& parent, const QString& text) {
    for (QTreeWidgetItem* item :
         form.DBTree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive)) {
        if ((item->parent() ? item->parent()->text(0) : QString()) == parent)
            return item;
    }
    return nullptr;
}

// Clicks the node's row in the tree, as the user does.
inline void clickNode(MainWindow& form, QTreeWidgetItem* item) {
    QVERIFY(item);
    const QRect row = form.DBTree->visualItemRect(item);
    QTest::mouseClick(form.DBTree->viewport(), Qt::LeftButton, {}, row.center());
}

// The open data windows, oldest first.
inline QList<DataWindow*> dataWindows(MainWindow& form) {
    QList<DataWindow*> result;
    for (QMdiSubWindow* sub : form.MdiClient->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* w = qobject_cast<DataWindow*>(sub->widget()))
            result << w;
    }
    return result;
}

// The entries of Database > MRU, most recent first.
inline QStringList recentFiles(const MainWindow& form) {
    QStringList captions;
    for (QAction* a : form.mnuMRU->actions()) {
        if (qobject_cast<RecentFileMenuItem*>(a))
            captions << a->text();
    }
    return captions;
}

// Runs scripts/make-demo.sh into `folder`: veldmark-demo.db and its
// protected copy veldmark-demo-protected.db (password "veldmark").
inline void makeDemo(const QString& folder) {
    const QString script = QFINDTESTDATA("../../scripts/make-demo.sh");
    QVERIFY(!script.isEmpty());
    QProcess maker;
    maker.setProcessChannelMode(QProcess::MergedChannels);
    maker.start(QStringLiteral("bash"), {script, folder});
    QVERIFY(maker.waitForFinished(60000));
    QVERIFY2(maker.exitCode() == 0, maker.readAll().constData());
}

// While it lives, the program keeps its settings and its data (the query
// history) in new empty folders.
class SettingsFolder {
public:
    SettingsFolder() : old_(qgetenv("XDG_CONFIG_HOME")), oldData_(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
        qputenv("XDG_DATA_HOME", (dir_.path() + QStringLiteral("/data")).toUtf8());
    }
    ~SettingsFolder() {
        qputenv("XDG_CONFIG_HOME", old_);
        qputenv("XDG_DATA_HOME", oldData_);
    }
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;

private:
    QTemporaryDir dir_;
    QByteArray old_;
    QByteArray oldData_;
};

} // namespace mainwin
