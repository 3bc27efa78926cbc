#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/DataWindowKeys.h"
#include "app/MdiArrangement.h"
#include "components/RecentFiles.h"
#include "connection/ConnectionManager.h"
#include "data/service/Connection.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Text.h"
#include "windows/DataWindow.h"
#include "windows/RowHistory.h"
#include "windows/SqlFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUrl>

MainWindow* MainForm = nullptr;

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setupUi(this);
    ::MainForm = this;
    setAcceptDrops(true);
    addWindowKeys();
    connectHandlers();
    // The menu entry carries its own caption but works through the action.
    connect(actFileOpen, &QAction::enabledChanged, mnuOpen, &QAction::setEnabled);
    connect(HelpAbout1, &QAction::enabledChanged, HelpAboutItem, &QAction::setEnabled);
    connect(Window1, &QMenu::aboutToShow, this, &MainWindow::rebuildWindowList);
    // The menu bar shows the hint of the menu's own entry.
    for (QMenu* menu : {mnuFile, Window1, Help1})
        menu->menuAction()->setStatusTip(menu->statusTip());
    // The tree keeps its width: only the user moves the splitter. The data
    // area may be narrower than a data window, which then scrolls.
    Splitter1->setSizes({153, width() - 153});
    Splitter1->setStretchFactor(1, 1);
    MdiClient->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MdiClient->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Return or Enter on a leaf opens it, as a click does.
    DBTree->installEventFilter(this);
    dataWindowKeys_ = new DataWindowKeys(this);
    rowHistory_ = new RowHistory(this);
    updateWindowCommands();
    MRU = new RecentFiles(this);
    MRU->SetMaxItems(6);
    noRecentFiles_ = new QAction(QStringLiteral("(empty)"), this);
    noRecentFiles_->setEnabled(false);
    connect(MRU, &RecentFiles::menuRebuilt, this, &MainWindow::showRecentFilesPlaceholder);
    MRU->SetParentMenuItem(mnuMRU);
    MRU->SetOnClick([this](RecentFiles* sender, const QString& file) { MRUClick(sender, file); });
    followConnectionManager();
    // A failing start-up step is reported; the window still comes up.
    tk::guarded([this] { FormCreate(); });
}

void MainWindow::connectHandlers() {
    using Handler = void (MainWindow::*)();
    const std::pair<QAction*, Handler> commands[] = {
        {actFileOpen, &MainWindow::actFileOpenExecute},
        {mnuOpenSQLServer, &MainWindow::mnuOpenSQLServerClick},
        {mnuDisconnect, &MainWindow::mnuDisconnectClick},
        {FileExit1, &MainWindow::FileExit1Execute},
        {EditCut1, &MainWindow::EditCut1Execute},
        {EditCopy1, &MainWindow::EditCopy1Execute},
        {EditPaste1, &MainWindow::EditPaste1Execute},
        {WindowCascade1, &MainWindow::WindowCascade1Execute},
        {WindowTileHorizontal1, &MainWindow::WindowTileHorizontal1Execute},
        {WindowTileVertical1, &MainWindow::WindowTileVertical1Execute},
        {WindowMinimizeAll1, &MainWindow::WindowMinimizeAll1Execute},
        {WindowArrangeAll1, &MainWindow::WindowArrangeAll1Execute},
        {HelpAbout1, &MainWindow::HelpAbout1Execute}};
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, tk::handler(this, handler));
    connect(mnuOpen, &QAction::triggered, actFileOpen, &QAction::trigger);
    connect(HelpAboutItem, &QAction::triggered, HelpAbout1, &QAction::trigger);
    connect(CloseButton, &QAbstractButton::clicked, this,
            tk::handler(this, &MainWindow::CloseButtonClick));
    connect(DBTree, &QTreeWidget::itemClicked, this, tk::handler(this, &MainWindow::DBTreeClick));
}

// The data windows go first, while this window is still whole: their frames'
// bookkeeping and their own teardown reach it. The commands need no update.
MainWindow::~MainWindow() {
    // Every frame, also one closed and waiting to be freed. Their
    // bookkeeping is not needed any more.
    const QList<QMdiSubWindow*> frames = MdiClient->findChildren<QMdiSubWindow*>();
    for (QMdiSubWindow* frame : frames)
        disconnect(frame, &QObject::destroyed, this, nullptr);
    const QList<QPointer<QMdiSubWindow>> guarded(frames.begin(), frames.end());
    for (const QPointer<QMdiSubWindow>& frame : guarded)
        delete frame.data();
    if (::MainForm == this)
        ::MainForm = nullptr;
}

// The menus, the status panel and the tree follow the connection; before it
// closes, the data windows are asked to close, and one that stays open keeps
// the connection open.
void MainWindow::followConnectionManager() {
    if (!connectionManager)
        return;
    connect(connectionManager, &ConnectionManager::connectedToChanged, this,
            [this](const QString& text) { ConnectedTo = text; });
    connect(connectionManager, &ConnectionManager::connected, this, &MainWindow::connectionOpened);
    connect(connectionManager, &ConnectionManager::aboutToDisconnect, this, [this](bool& keepOpen) {
        if (!CloseAllChildren())
            keepOpen = true;
    });
    connect(connectionManager, &ConnectionManager::disconnected, this,
            &MainWindow::connectionClosed);
}

void MainWindow::connectionOpened() {
    tk::setWidgetCursor(this, tk::CursorShape::Hourglass);
    actFileOpen->setEnabled(false);
    mnuMRU->menuAction()->setEnabled(false);
    mnuDisconnect->setEnabled(true);
    mnuOpenSQLServer->setEnabled(false);
    pnlBaza->setText("Connected to: " + ConnectedTo);
    // The connection is open whatever the listing does: a failing listing
    // is reported here and the user can still disconnect.
    tk::guarded([this] { FillDatabaseTree(); });
    tk::setWidgetCursor(this, tk::CursorShape::Default);
    // The keyboard starts in the tree, on its first entry.
    if (DBTree->topLevelItemCount() > 0)
        DBTree->setCurrentItem(DBTree->topLevelItem(0));
    DBTree->setFocus(Qt::OtherFocusReason);
}

// F6 goes from the tree to the active data window and back; Ctrl+F6 goes to
// the next data window, Ctrl+F4 closes the active one (as the Close button).
// Inside a data window the frame's key filter (DataWindowKeys) closes it, so
// the main window's own serves the tree only: two would cancel each other out.
void MainWindow::addWindowKeys() {
    const auto key = [this](QWidget* scope, QKeySequence sequence, auto slot) {
        auto* action = new QAction(scope);
        action->setShortcut(sequence);
        action->setShortcutContext(scope == this ? Qt::WindowShortcut : Qt::WidgetShortcut);
        scope->addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    key(this, QKeySequence(Qt::Key_F6), &MainWindow::switchTreeAndWindow);
    key(this, QKeySequence(Qt::CTRL | Qt::Key_F6), [this] { MdiClient->activateNextSubWindow(); });
    key(DBTree, QKeySequence(Qt::CTRL | Qt::Key_F4), &MainWindow::CloseButtonClick);
}

void MainWindow::switchTreeAndWindow() {
    QMdiSubWindow* active = MdiClient->activeSubWindow();
    if (!active || !DBTree->hasFocus()) {
        DBTree->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    QWidget* window = active->widget();
    // The control that had the keyboard last, else the first that takes it.
    QWidget* target = window->focusWidget();
    if (!target) {
        target = window->nextInFocusChain();
        while (target != window && (target->focusPolicy() == Qt::NoFocus || !target->isVisible() ||
                                    !window->isAncestorOf(target))) {
            target = target->nextInFocusChain();
        }
    }
    target->setFocus(Qt::ShortcutFocusReason);
}

void MainWindow::connectionClosed() {
    DBTree->clear();
    actFileOpen->setEnabled(true);
    mnuMRU->menuAction()->setEnabled(true);
    mnuDisconnect->setEnabled(false);
    mnuOpenSQLServer->setEnabled(true);
    pnlBaza->setText(QStringLiteral("NOT Connected!"));
}

void MainWindow::FormCreate() {
    ConnectedTo.clear();
    lblTOP->setText(tk::applicationTitle());
    CloseButton->hide();
    MRU->SetRegistryPath(QStringLiteral("\\software\\QRV\\") + tk::applicationTitle() +
                         QStringLiteral("\\mru"));
}

// The program ends only when every data window has closed: one that holds
// a refused change keeps the program running, and the user is told why.
void MainWindow::closeEvent(QCloseEvent* event) {
    FormClose();
    const QList<QMdiSubWindow*> open = openDataWindows();
    if (open.isEmpty()) {
        event->accept();
        return;
    }
    event->ignore();
    // A window whose .sql file the user chose not to save yet needs no word.
    for (QMdiSubWindow* sub : open) {
        auto* w = qobject_cast<DataWindow*>(sub->widget());
        if (w && w->sqlFile() && w->sqlFile()->hasUnsavedChanges())
            return;
    }
    tk::showMessage(tk::MessageKind::Warning,
                    QStringLiteral("The program did not close: a data window holds a change "
                                   "that the database refused. Correct and save the change, "
                                   "or cancel it, then exit again."));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBTree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QTreeWidgetItem* current = DBTree->currentItem();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && current && current->parent()) {
            DBTreeClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// An empty submenu would open as an empty window that does not come back
// once entries are added; a disabled "(empty)" entry stands in for them.
void MainWindow::showRecentFilesPlaceholder() {
    if (MRU->FileNames().isEmpty())
        mnuMRU->addAction(noRecentFiles_);
    else
        mnuMRU->removeAction(noRecentFiles_);
}

void MainWindow::FormClose() {
    CloseAllChildren();
}

QString MainWindow::OpenDialogFilter() {
    return QStringLiteral("MS Access database (*.mdb);;"
                          "Access 2007 database (*.accdb);;"
                          "SQLite database (*.db *.sqlite *.sqlite3);;"
                          "All files (*)");
}

void MainWindow::actFileOpenExecute() {
    QString fileName = openDialogFileName_;
    if (!tk::Dialogs::current().openFile(this, OpenDialogFilter(), fileName, openDialogFileType_))
        return;
    openDialogFileName_ = fileName;
    OpenFile(fileName);
}

void MainWindow::OpenFile(const QString& fileName) {
    if (!actFileOpen->isEnabled()) {
        tk::showMessage(tk::MessageKind::Warning,
                        QStringLiteral("Disconnect first to open another database."));
        return;
    }
    if (connectionManager->OpenDatabase(fileName, true, QString()))
        MRU->AddItem(fileName);
}

namespace {

// The one local file a drag carries; empty for anything else.
QString droppedFile(const QMimeData* data) {
    const QList<QUrl> urls = data->urls();
    return urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    if (SqlFile::isSqlFile(file))
        openSqlFile(file);
    else
        OpenFile(file);
}

void MainWindow::mnuOpenSQLServerClick() {
    connectionManager->OpenDatabase(openDialogFileName_, false, QString());
}

void MainWindow::mnuDisconnectClick() {
    if (!connectionManager->connection.connected())
        return;
    try {
        connectionManager->connection.close();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, tk::qs(e.what()));
    }
}

void MainWindow::FileExit1Execute() {
    close();
}

void MainWindow::CloseButtonClick() {
    if (QMdiSubWindow* active = MdiClient->activeSubWindow())
        active->close();
}

// DBTreeClick is in TreeClick.cpp.

// Reopens a recent file; the list keeps its order.
void MainWindow::MRUClick(RecentFiles*, const QString& FileName) {
    connectionManager->OpenDatabase(FileName, true, QString());
}

void MainWindow::HelpAbout1Execute() {
    AboutDialog::ShowAboutBox();
}

void MainWindow::FillDatabaseTree() {
    DBTree->clear();
    const std::vector<std::string> names = connectionManager->connection.tableNames();
    if (!names.empty()) {
        auto* tables = new QTreeWidgetItem(DBTree, {QStringLiteral("Tables")});
        // A row shows the name in one line and keeps the name itself for SQL.
        for (const std::string& name : names) {
            auto* item = new QTreeWidgetItem(tables, {tk::visibleControls(tk::qs(name))});
            item->setData(0, Qt::UserRole, tk::qs(name));
        }
    }
    auto* misc = new QTreeWidgetItem(QStringList{QStringLiteral("Misc")});
    DBTree->insertTopLevelItem(0, misc);
    new QTreeWidgetItem(misc, {QStringLiteral("Query")});
    new QTreeWidgetItem(misc, {QStringLiteral("Master detail")});
    DBTree->expandAll();
}

bool MainWindow::CloseAllChildren() {
    // Each child frees itself later, after this loop, so the list taken
    // once stays valid while the children are asked to close in order.
    const QList<QMdiSubWindow*> children = MdiClient->subWindowList(QMdiArea::CreationOrder);
    bool allClosed = true;
    for (QMdiSubWindow* child : children)
        allClosed = child->close() && allClosed;
    return allClosed;
}

QMdiSubWindow* MainWindow::addDataWindow(QWidget* window) {
    QMdiSubWindow* sub = MdiClient->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(dataWindowKeys_);
    // Never smaller than its controls need: no control covers another.
    sub->setMinimumSize(sub->minimumSizeHint());
    if (!window->testAttribute(Qt::WA_SetWindowIcon))
        sub->setWindowIcon(windowIcon());
    // By the time destroyed() is sent the window is a mere QObject: the
    // pointer kept from here only tells which list entry is going away.
    connect(sub, &QObject::destroyed, this, [this, sub] { updateWindowCommands(sub); });
    sub->showMaximized();
    updateWindowCommands();
    return sub;
}

void MainWindow::showCloseButton() {
    CloseButton->setVisible(true);
}

// The banner shows the program's title again, without the Close button.
void MainWindow::restoreBanner() {
    lblTOP->setText(tk::applicationTitle());
    CloseButton->hide();
}

void MainWindow::showStatus(const QString& text) {
    statusBar()->showMessage(text, 5000);
}

QList<QMdiSubWindow*> MainWindow::openDataWindows(const QMdiSubWindow* goingAway) const {
    QList<QMdiSubWindow*> result;
    for (QMdiSubWindow* w : MdiClient->subWindowList(QMdiArea::CreationOrder)) {
        if (w != goingAway && !w->isHidden())
            result.append(w);
    }
    return result;
}

void MainWindow::updateWindowCommands(const QMdiSubWindow* goingAway) {
    const bool any = !openDataWindows(goingAway).isEmpty();
    for (QAction* a : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1,
                       WindowMinimizeAll1, WindowArrangeAll1})
        a->setEnabled(any);
}

// The Window menu lists the open data windows under its commands; picking
// one activates it.
void MainWindow::rebuildWindowList() {
    qDeleteAll(windowListActions_);
    windowListActions_.clear();
    const QList<QMdiSubWindow*> windows = openDataWindows();
    updateWindowCommands();
    if (windows.isEmpty())
        return;
    windowListActions_.append(Window1->addSeparator());
    int number = 0;
    for (QMdiSubWindow* w : windows) {
        ++number;
        const QString caption = w->windowTitle().replace('&', QStringLiteral("&&"));
        QAction* item = Window1->addAction(QStringLiteral("&%1 %2").arg(number).arg(caption));
        item->setCheckable(true);
        item->setChecked(w == MdiClient->activeSubWindow());
        QPointer<QMdiSubWindow> target = w;
        connect(item, &QAction::triggered, this, [this, target] {
            if (target)
                MdiClient->setActiveSubWindow(target);
        });
        windowListActions_.append(item);
    }
}

void MainWindow::WindowCascade1Execute() {
    MdiClient->cascadeSubWindows();
}

void MainWindow::WindowTileHorizontal1Execute() {
    tileSubWindows(*MdiClient, Qt::Vertical);
}

void MainWindow::WindowTileVertical1Execute() {
    tileSubWindows(*MdiClient, Qt::Horizontal);
}

void MainWindow::WindowMinimizeAll1Execute() {
    for (QMdiSubWindow* w : openDataWindows())
        w->showMinimized();
    arrangeMinimizedSubWindows(*MdiClient);
}

void MainWindow::WindowArrangeAll1Execute() {
    arrangeMinimizedSubWindows(*MdiClient);
}

// The edit commands act on the focused text box, as its own keys do.
template <typename Op> static void onFocusedTextBox(Op op) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        op(line);
    else if (auto* text = qobject_cast<QTextEdit*>(focus))
        op(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        op(plain);
}

void MainWindow::EditCut1Execute() {
    onFocusedTextBox([](auto* box) { box->cut(); });
}

// A focused grid copies its selected cells.
void MainWindow::EditCopy1Execute() {
    if (auto* grid = qobject_cast<tk::DBGrid*>(QApplication::focusWidget())) {
        grid->copySelection();
        return;
    }
    onFocusedTextBox([](auto* box) { box->copy(); });
}

void MainWindow::EditPaste1Execute() {
    onFocusedTextBox([](auto* box) { box->paste(); });
}
