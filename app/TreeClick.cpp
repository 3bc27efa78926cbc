// Opening data windows from the database tree.

#include "app/MainWindow.h"
#include "connection/ConnectionManager.h"
#include "data/service/Connection.h"
#include "toolkit/Cursors.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Progress.h"
#include "windows/DataWindow.h"
#include "windows/SqlFile.h"

#include <QDir>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTreeWidget>

#include <optional>

namespace {

using Use = DataWindow::Use;

// What a leaf of the tree opens. A table is recognised by its parent first,
// so a table named "Query" is still a table view.
std::optional<Use> useOf(const QString& parent, const QString& node) {
    if (parent == QLatin1String("Tables"))
        return Use::Table;
    if (node == QLatin1String("Query"))
        return Use::Freehand;
    if (node == QLatin1String("Master detail"))
        return Use::MasterDetail;
    return std::nullopt;
}

// A window whose first load the user cancelled shows nothing: it goes.
void closeCancelledWindow(QWidget* window) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        frame->close();
    } else {
        window->close();
    }
}

} // namespace

// Every click on a leaf opens a new data window; the roots open nothing.
void MainWindow::DBTreeClick() {
    const QList<QTreeWidgetItem*> selected = DBTree->selectedItems();
    QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
    if (!node || !node->parent()) {
        return;
    }
    const std::optional<Use> use = useOf(node->parent()->text(0), node->text(0));
    if (!use) {
        return;
    }
    QPointer<DataWindow> w;
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        const tk::ProgressGuard progress(this);
        w = new DataWindow(connectionManager->connection, *use, this);
        w->setUp(node->data(0, Qt::UserRole).toString());
    } catch (const std::exception& e) {
        if (tk::isCancellation(e) && w) {
            closeCancelledWindow(w);
            return;
        }
        // The window stays open with its caption; the rest of the setup is skipped.
        tk::reportError(e);
    }
}

// The file goes into a new freehand window; a file that cannot be read
// leaves no window behind.
void MainWindow::openSqlFile(const QString& fileName) {
    if (!connectionManager->connection.connected()) {
        tk::showMessage(tk::MessageKind::Warning,
                        QStringLiteral("Open a database first: the SQL file %1 opens in a "
                                       "freehand query window on it.")
                            .arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    auto* w = new DataWindow(connectionManager->connection, Use::Freehand, this);
    w->setUp();
    if (!w->openSqlFile(fileName)) {
        closeCancelledWindow(w);
    }
}
