// The main window with the connection manager on real SQLite files: start-up
// state, opening (plain, protected, odd paths, failures), the database tree,
// Disconnect, closing, the window commands, the recent-files list across a
// restart, and what the application object does with errors no handler caught.

#include "components/RecentFiles.h"
#include "data/service/Errors.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/TestDb.h"
#include "toolkit/Application.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/ErrorReport.h"
#include "windows/DataSetPanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <csignal>

namespace {

const QString& title = program::title;
const QString promptCaption = QStringLiteral("MDB with password");
const QString promptText =
    QStringLiteral("If this is password protected, please enter password (leave empty to cancel):");

// A stand-in data window that notes when it is asked to close.
class ProbeWindow : public QWidget {
public:
    struct Log {
        int closes = 0;
        QStringList panelAtClose;
        QList<bool> connectedAtClose;
    };
    explicit ProbeWindow(Log& log, const QString& caption) : log_(log) { setWindowTitle(caption); }

protected:
    void closeEvent(QCloseEvent* event) override {
        ++log_.closes;
        log_.panelAtClose << MainForm->pnlBaza->text();
        log_.connectedAtClose << connectionManager->connection.connected();
        event->accept();
    }

private:
    Log& log_;
};

// The program with its dialogs scripted.
using Shell = ProgramFixture;

QStringList texts(const QList<QTreeWidgetItem*>& items) {
    QStringList result;
    for (const QTreeWidgetItem* item : items)
        result << item->text(0);
    return result;
}

QStringList topLevel(const QTreeWidget* tree) {
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        items << tree->topLevelItem(i);
    return texts(items);
}

QStringList childTexts(const QTreeWidgetItem* item) {
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < item->childCount(); ++i)
        items << item->child(i);
    return texts(items);
}

QString jet(const QString& file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";Persist Security Info=False";
}

void verifyCommands(const MainWindow& f, bool connected) {
    QCOMPARE(f.actFileOpen->isEnabled(), !connected);
    QCOMPARE(f.mnuOpen->isEnabled(), !connected);
    QCOMPARE(f.mnuOpenSQLServer->isEnabled(), !connected);
    QCOMPARE(f.mnuMRU->menuAction()->isEnabled(), !connected);
    QCOMPARE(f.mnuDisconnect->isEnabled(), connected);
}

// Opens Database > MRU with the keyboard and returns the entries the open
// submenu shows (each inside the menu's area), then closes the menus again.
QStringList shownRecentFiles(MainWindow& form) {
    QTest::keyClick(&form, Qt::Key_D, Qt::AltModifier);
    if (!form.mnuFile->isVisible())
        return {QStringLiteral("<Database menu not open>")};
    QTest::keyClick(form.mnuFile, Qt::Key_M);
    QStringList shown;
    const QWindow* window = form.mnuMRU->windowHandle();
    if (!window || !window->isVisible())
        shown << QStringLiteral("<MRU submenu not on the screen>");
    for (QAction* a : form.mnuMRU->actions()) {
        if (form.mnuMRU->rect().contains(form.mnuMRU->actionGeometry(a)))
            shown << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
    }
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    return shown;
}

} // namespace

using mainwin::recentFiles;
using mainwin::showActive;

class TestMainForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString shopDb, emptyDb, protectedDb, oddPathDb;

private Q_SLOTS:
    // A handler the form names but the class lacks fails the test.
    void init() { program::failOnConnectionWarnings(); }

    void initTestCase() {
        tk::setApplicationTitle(title);
        static_cast<tk::Application*>(qApp)->setTitle(title);
        QVERIFY(dir.isValid());
        shopDb = dir.filePath("shop.db");
        testdb::run(shopDb, "CREATE TABLE zeta (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT);"
                            "INSERT INTO zeta (name) VALUES ('a');"
                            "CREATE TABLE \"Order Items\" (id INT, qty INT);"
                            "CREATE VIEW alpha_view AS SELECT name FROM zeta;"
                            "CREATE TABLE beta (x INT);"
                            "CREATE INDEX beta_x ON beta (x);");
        emptyDb = dir.filePath("empty.db");
        testdb::run(emptyDb, "PRAGMA user_version = 1;");
        protectedDb = dir.filePath("protected.db");
        testdb::runEncrypted(protectedDb, "s3cret", "CREATE TABLE secrets (id INT);");
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub folder ä")));
        oddPathDb = dir.filePath(QStringLiteral("sub folder ä/baza čćž.db"));
        testdb::run(oddPathDb, "CREATE TABLE t (id INT);");
        QFile garbage(dir.filePath("notes.db"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
    }

    void startsNotConnectedWithItsMenus() {
        Shell s;
        MainWindow& f = s.form;
        QCOMPARE(MainForm, &f);
        QCOMPARE(f.windowTitle(), title);
        QCOMPARE(f.lblTOP->text(), title);
        QVERIFY(f.CloseButton->isHidden());
        QCOMPARE(f.pnlBaza->text(), QStringLiteral("NOT Connected"));
        QCOMPARE(f.DBTree->topLevelItemCount(), 0);
        verifyCommands(f, false);
        for (QAction* a : {f.WindowCascade1, f.WindowTileHorizontal1, f.WindowTileVertical1,
                           f.WindowMinimizeAll1, f.WindowArrangeAll1})
            QVERIFY(!a->isEnabled());

        QStringList database;
        for (QAction* a : f.mnuFile->actions())
            database << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(database, QStringList({"&Open Access (MDB)", "Open &SQLServer", "-", "&MRU", "-",
                                        "Disconnect", "-", "E&xit"}));
        QStringList top;
        for (QAction* a : f.MainMenu1->actions())
            top << a->text();
        QCOMPARE(top, QStringList({"&Database", "&Edit", "&Window", "&About"}));
        QCOMPARE(f.Help1->actions().first()->text(), QStringLiteral("&About Veldmark"));
        QCOMPARE(f.EditCopy1->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
        // The status bar shows the long part of the hint.
        f.mnuOpen->showStatusText(f.MainMenu1); // as the open menu does
        QCOMPARE(f.StatusBar->currentMessage(), QStringLiteral("Open a file"));
        f.HelpAboutItem->showStatusText(f.MainMenu1);
        QCOMPARE(f.StatusBar->currentMessage(),
                 QStringLiteral("Displays program information, version number, and copyright"));
    }

    void openFileFillsTreeInCatalogueOrder() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        dialogs.fileAnswers.push_back(shopDb);
        s.form.actFileOpenExecute();

        QCOMPARE(dialogs.count("open"), 1);
        QVERIFY(dialogs.shown.first().text.startsWith(
            "MS Access database (*.mdb);;Access 2007 database (*.accdb);;SQLite database"));
        QCOMPARE(dialogs.shown.size(), 1); // no prompt, no error
        QVERIFY(s.dm.connection.connected());
        QCOMPARE(QString::fromStdString(s.dm.connection.connectionString()), jet(shopDb));
        QCOMPARE(s.form.ConnectedTo, shopDb);
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + shopDb);
        verifyCommands(s.form, true);

        const QTreeWidget* tree = s.form.DBTree;
        QCOMPARE(topLevel(tree), QStringList({"Misc", "Tables"}));
        QCOMPARE(childTexts(tree->topLevelItem(0)), QStringList({"Query", "Master detail"}));
        // Views stand with the tables; neither sqlite_sequence nor the index shows.
        QCOMPARE(childTexts(tree->topLevelItem(1)),
                 QStringList({"zeta", "Order Items", "alpha_view", "beta"}));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QVERIFY(tree->topLevelItem(1)->isExpanded());
    }

    // A database file dropped on the window opens as with File > Open and
    // joins the recent list; while connected a drop is refused, as Open is.
    void droppedFileOpens() {
        Shell s;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(shopDb)});
        for (int drop = 0; drop < 2; ++drop) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&s.form, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&s.form, &dropped);
            QCOMPARE(s.form.ConnectedTo, shopDb);
            QCOMPARE(s.form.MRU->FileNames().value(0), shopDb);
            QCOMPARE(s.dialogs.kinds(), drop == 0 ? QStringList() : QStringList{"warning"});
        }
    }

    // The tree has the keyboard after connecting; F6 goes to the active data
    // window and back, Ctrl+F6 to the next window, Ctrl+F4 closes one.
    void windowKeys() {
        Shell s;
        QVERIFY(s.started());
        s.open(shopDb);
        QCOMPARE(QApplication::focusWidget(), s.form.DBTree);
        QWidget* first = s.click(QStringLiteral("Tables"), QStringLiteral("zeta"));
        QWidget* second = s.click(QStringLiteral("Tables"), QStringLiteral("beta"));
        const auto press = [](QKeyCombination key) {
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            Shell::settle();
        };
        const auto active = [&] { return s.form.mdiArea()->activeSubWindow()->widget(); };
        press(Qt::Key_F6);
        QCOMPARE(QApplication::focusWidget(), s.form.DBTree);
        press(Qt::Key_F6);
        QVERIFY(active()->isAncestorOf(QApplication::focusWidget()));
        QCOMPARE(active(), second);
        // Ctrl+Tab leaves the grid for the window's next control, around
        // its end; Ctrl+Shift+Tab for the one before.
        DataSetPanel& panel = static_cast<DataWindow*>(active())->master();
        QCOMPARE(QApplication::focusWidget(), panel.Grid);
        press(Qt::CTRL | Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), panel.edTrazi);
        panel.Grid->setFocus();
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab);
        QVERIFY(panel.DBNavigator->isAncestorOf(QApplication::focusWidget()));
        press(Qt::CTRL | Qt::Key_F6);
        QCOMPARE(active(), first);
        press(Qt::CTRL | Qt::Key_F4);
        QCOMPARE(s.windowCount(), 1);
        QCOMPARE(active(), second);
        press(Qt::Key_F6);
        press(Qt::CTRL | Qt::Key_F4); // from the tree as well
        QCOMPARE(s.windowCount(), 0);
    }

    // Ctrl+F4 closes the active data window from any of its controls,
    // maximized or tiled, also where the desktop's own close key for a frame
    // is Ctrl+W alone (X11's key scheme).
    void ctrlF4ClosesTheWindowFromAnyOfItsControls_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("tiled");
        for (const bool tiled : {false, true}) {
            const QByteArray how = tiled ? " tiled" : " maximized";
            for (const char* control : {"grid", "search box", "filter box", "SQL box"})
                QTest::newRow(control + how) << QString::fromLatin1(control) << tiled;
        }
    }
    void ctrlF4ClosesTheWindowFromAnyOfItsControls() {
        QFETCH(QString, control);
        QFETCH(bool, tiled);
        Shell s;
        QVERIFY(s.started());
        s.open(shopDb);
        DataWindow* w = control == QLatin1String("SQL box")
                            ? s.click(QStringLiteral("Misc"), QStringLiteral("Query"))
                            : s.click(QStringLiteral("Tables"), QStringLiteral("zeta"));
        QVERIFY(w);
        for (QMdiSubWindow* frame : s.form.mdiArea()->subWindowList()) {
            for (QAction* action : frame->systemMenu()->actions()) {
                QList<QKeySequence> keys = action->shortcuts();
                keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_F4));
                action->setShortcuts(keys);
            }
        }
        if (tiled)
            s.form.mdiArea()->tileSubWindows();
        DataSetPanel& panel = w->master();
        QWidget* target = control == QLatin1String("grid")         ? panel.Grid
                          : control == QLatin1String("search box") ? panel.edTrazi
                          : control == QLatin1String("filter box")
                              ? panel.edFilter
                              : static_cast<QWidget*>(w->sqlBox());
        target->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(target, Qt::Key_F4, Qt::ControlModifier);
        Shell::settle();
        QCOMPARE(s.windowCount(), 0);
    }

    // The Open dialog starts on the file type chosen last, as on the file
    // name returned last; the list of types keeps its order.
    void openDialogKeepsTheFileTypeLastChosen() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        const QString sqlite = QStringLiteral("SQLite database (*.db *.sqlite *.sqlite3)");
        dialogs.fileAnswers = {shopDb, QString(), emptyDb};
        dialogs.fileTypeAnswers = {sqlite, QStringLiteral("All files (*)"), QString()};
        s.form.actFileOpenExecute();
        s.form.mnuDisconnectClick();
        s.form.actFileOpenExecute(); // another type chosen, then Cancel
        s.form.actFileOpenExecute();
        QCOMPARE(dialogs.count("open"), 3);
        QStringList starts;
        for (const auto& shown : dialogs.shown) {
            QCOMPARE(shown.text, MainWindow::OpenDialogFilter());
            starts << shown.start;
        }
        QCOMPARE(starts, QStringList({QString(), sqlite, sqlite}));
        QCOMPARE(s.form.ConnectedTo, emptyDb);
        QCOMPARE(MainWindow::OpenDialogFilter().split(QStringLiteral(";;")),
                 QStringList({QStringLiteral("MS Access database (*.mdb)"),
                              QStringLiteral("Access 2007 database (*.accdb)"), sqlite,
                              QStringLiteral("All files (*)")}));
    }

    void protectedOrOddlyNamedFilesOpen() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        dialogs.promptAnswers.push_back(QStringLiteral("s3cret"));
        QVERIFY(s.dm.OpenDatabase(protectedDb, true, QString()));
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[0].kind, QStringLiteral("error"));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Error"));
        QCOMPARE(dialogs.shown[1].kind, QStringLiteral("prompt"));
        QCOMPARE(dialogs.shown[1].caption, promptCaption);
        QCOMPARE(dialogs.shown[1].text, promptText);
        QVERIFY(dialogs.shown[1].masked);
        QVERIFY(s.dm.connection.connected());
        QCOMPARE(QString::fromStdString(s.dm.connection.connectionString()),
                 jet(protectedDb) + ";Jet OLEDB:Database Password=s3cret");
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + protectedDb);
        QCOMPARE(childTexts(s.form.DBTree->topLevelItem(1)), QStringList({"secrets"}));
        s.form.mnuDisconnectClick();

        // Blanks and non-ASCII letters in the path pass unchanged.
        dialogs.clear();
        QVERIFY(s.dm.OpenDatabase(oddPathDb, true, QString()));
        QCOMPARE(dialogs.shown.size(), 0);
        QCOMPARE(QString::fromStdString(s.dm.connection.connectionString()), jet(oddPathDb));
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + oddPathDb);
        QCOMPARE(childTexts(s.form.DBTree->topLevelItem(1)), QStringList({"t"}));
    }

    // A password or file name holding ';', '=' or quotes is written quoted and
    // reaches the file whole: no key of it overrides the provider or file.
    void oddPasswordsAndFileNamesOpen_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("writtenPassword");
        QTest::newRow("';' in the password") << "p1.db"
                                             << "ab;cd"
                                             << "\"ab;cd\"";
        QTest::newRow("'=' in the password") << "p2.db"
                                             << "a=b"
                                             << "\"a=b\"";
        QTest::newRow("quotes in the password") << "p3.db"
                                                << "\"q\""
                                                << "\"\"\"q\"\"\"";
        QTest::newRow("a password naming a provider") << "p4.db"
                                                      << "k;Provider=Nobody.1"
                                                      << "\"k;Provider=Nobody.1\"";
        QTest::newRow("';' in the file name") << "semi;colon=.db" << QString() << QString();
    }
    void oddPasswordsAndFileNamesOpen() {
        QFETCH(QString, file);
        QFETCH(QString, password);
        QFETCH(QString, writtenPassword);
        const QString path = dir.filePath(file);
        if (password.isEmpty())
            testdb::run(path, "CREATE TABLE t (id INT);");
        else
            testdb::runEncrypted(path, password.toStdString(), "CREATE TABLE t (id INT);");
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        QVERIFY(s.dm.OpenDatabase(path, true, password));
        QCOMPARE(dialogs.shown.size(), 0);
        const QString source = path.contains(';') ? '"' + path + '"' : path;
        QCOMPARE(QString::fromStdString(s.dm.connection.connectionString()),
                 jet(source) + (password.isEmpty()
                                    ? QString()
                                    : ";Jet OLEDB:Database Password=" + writtenPassword));
        QCOMPARE(childTexts(s.form.DBTree->topLevelItem(1)), QStringList({"t"}));
    }

    void failedOpensLeaveTheWindowNotConnected_data() {
        QTest::addColumn<QString>(
            "file"); // in the test folder; empty: the Open dialog is cancelled
        QTest::addColumn<bool>("viaDialog");
        QTest::addColumn<QStringList>("answers"); // to the password prompt; none: Cancel
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("password"); // the one the last attempt carried
        QTest::newRow("missing file") << "no such file.db" << false << QStringList()
                                      << QStringList{"error", "prompt"} << QString();
        QTest::newRow("not a database")
            << "notes.db" << false << QStringList() << QStringList{"error", "prompt"} << QString();
        QTest::newRow("wrong password, then empty")
            << "protected.db" << false << QStringList{"wrong", QStringLiteral("")}
            << QStringList{"error", "prompt", "error", "prompt"} << "wrong";
        QTest::newRow("Open dialog, prompt cancelled")
            << "protected.db" << true << QStringList() << QStringList{"open", "error", "prompt"}
            << QString();
        QTest::newRow("Open dialog cancelled")
            << QString() << true << QStringList() << QStringList{"open"} << QString();
    }
    void failedOpensLeaveTheWindowNotConnected() {
        QFETCH(QString, file);
        QFETCH(bool, viaDialog);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, shown);
        QFETCH(QString, password);
        const QString path = file.isEmpty() ? QString() : dir.filePath(file);
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        for (const QString& answer : answers)
            dialogs.promptAnswers.push_back(answer);
        if (viaDialog) {
            dialogs.fileAnswers.push_back(path);
            s.form.actFileOpenExecute();
        } else {
            QVERIFY(!s.dm.OpenDatabase(path, true, QString()));
        }
        QStringList kinds;
        for (const auto& d : dialogs.shown) {
            kinds << d.kind;
            if (d.kind == "error")
                QCOMPARE(d.caption, QStringLiteral("Error"));
            if (d.kind == "prompt")
                QCOMPARE(d.caption, promptCaption);
        }
        QCOMPARE(kinds, shown);
        QVERIFY(!s.dm.connection.connected());
        const QString tried = path.isEmpty() ? QString() : jet(path);
        QCOMPARE(QString::fromStdString(s.dm.connection.connectionString()),
                 password.isEmpty() ? tried : tried + ";Jet OLEDB:Database Password=" + password);
        QVERIFY(file != "no such file.db" || !QFile::exists(path)); // opening creates nothing
        QVERIFY(s.form.ConnectedTo.isEmpty());
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected"));
        QCOMPARE(s.form.DBTree->topLevelItemCount(), 0);
        QCOMPARE(tk::widgetCursor(&s.form), tk::CursorShape::Default);
        verifyCommands(s.form, false);
    }

    void disconnectClosesEveryWindowFirst() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        QVERIFY(s.dm.OpenDatabase(shopDb, true, QString()));
        ProbeWindow::Log log;
        for (int i = 1; i <= 3; ++i)
            s.form.addDataWindow(new ProbeWindow(log, QStringLiteral("TABLE: t%1").arg(i)));

        s.form.mnuDisconnectClick();

        QCOMPARE(log.closes, 3);
        // Each window closed while the connection was still open.
        QCOMPARE(log.connectedAtClose, QList<bool>({true, true, true}));
        for (const QString& panel : log.panelAtClose)
            QCOMPARE(panel, "Connected to: " + shopDb);
        QVERIFY(!s.dm.connection.connected());
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected!"));
        QCOMPARE(s.form.DBTree->topLevelItemCount(), 0);
        verifyCommands(s.form, false);
        QCOMPARE(dialogs.shown.size(), 0);
        Shell::settle();
        QVERIFY(s.form.mdiArea()->subWindowList().isEmpty());
        QVERIFY(!s.form.WindowCascade1->isEnabled());
    }

    void disconnectWhileNotConnectedDoesNothing() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        s.form.mnuDisconnectClick();
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected"));
        QCOMPARE(dialogs.shown.size(), 0);

        // And a database opens again after a disconnect.
        QVERIFY(s.dm.OpenDatabase(shopDb, true, QString()));
        s.form.mnuDisconnectClick();
        QVERIFY(s.dm.OpenDatabase(emptyDb, true, QString()));
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + emptyDb);
        QCOMPARE(topLevel(s.form.DBTree), QStringList({"Misc"}));
    }

    void exitWithTheConnectionOpenIsSilent() {
        ScriptedDialogs dialogs;
        auto dm = std::make_unique<ConnectionManager>();
        auto form = std::make_unique<MainWindow>();
        QVERIFY(dm->OpenDatabase(shopDb, true, QString()));
        ProbeWindow::Log log;
        for (int i = 1; i <= 3; ++i)
            form->addDataWindow(new ProbeWindow(log, QStringLiteral("w%1").arg(i)));
        form->show();
        QVERIFY(form->close());
        Shell::settle();
        QCOMPARE(log.closes, 3); // each child closed once
        QVERIFY(form->mdiArea()->subWindowList().isEmpty());
        form.reset();
        QCOMPARE(MainForm, nullptr);
        // The final close runs the disconnect handling with no main window.
        dm->shutDown();
        QVERIFY(!dm->connection.connected());
        dm.reset();
        QCOMPARE(connectionManager, nullptr);
        QCOMPARE(log.closes, 3);
        QCOMPARE(dialogs.shown.size(), 0);
    }

    // Destroying the main window with data windows open (or closed but not yet
    // freed) takes them down while the main window is still whole, so their
    // teardown may reach it.
    void destroyingTheMainWindowTakesItsDataWindowsFirst() {
        ConnectionManager dm;
        auto form = std::make_unique<MainWindow>();
        MainWindow* const main = form.get();
        ProbeWindow::Log log;
        QList<bool> mainWholeAtTeardown;
        for (int i = 1; i <= 3; ++i) {
            auto* window = new ProbeWindow(log, QStringLiteral("w%1").arg(i));
            form->addDataWindow(window);
            QObject::connect(window, &QObject::destroyed, [&mainWholeAtTeardown, main] {
                mainWholeAtTeardown << (MainForm == main && qobject_cast<MainWindow*>(main));
            });
        }
        form->show();
        // One closed, its frame not yet freed.
        form->mdiArea()->subWindowList().first()->close();
        form.reset();
        QCOMPARE(mainWholeAtTeardown, QList<bool>({true, true, true}));
        QCOMPARE(log.closes, 1);
        QCOMPARE(MainForm, nullptr);
    }

    // The demo databases of the run script: the plain file opens at once, the
    // SQLCipher copy written by the sqlcipher shell opens with its password.
    void demoDatabasesOpen() {
        mainwin::makeDemo(dir.filePath("demo"));

        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        QVERIFY(s.dm.OpenDatabase(dir.filePath("demo/veldmark-demo.db"), true, QString()));
        QCOMPARE(dialogs.shown.size(), 0);
        const QStringList tables = childTexts(s.form.DBTree->topLevelItem(1));
        QVERIFY(tables.contains("Order Items"));
        QVERIFY(tables.contains("customer_orders"));
        s.form.mnuDisconnectClick();

        dialogs.promptAnswers.push_back(QStringLiteral("veldmark"));
        QVERIFY(
            s.dm.OpenDatabase(dir.filePath("demo/veldmark-demo-protected.db"), true, QString()));
        QCOMPARE(dialogs.count("prompt"), 1);
        QCOMPARE(childTexts(s.form.DBTree->topLevelItem(1)), tables);
    }

    void closeButtonClosesTheActiveWindowOnly() {
        Shell s;
        s.form.show();
        s.form.CloseButtonClick(); // none open: nothing happens
        ProbeWindow::Log log;
        s.form.addDataWindow(new ProbeWindow(log, QStringLiteral("first")));
        QMdiSubWindow* second =
            s.form.addDataWindow(new ProbeWindow(log, QStringLiteral("second")));
        s.form.mdiArea()->setActiveSubWindow(second);
        s.form.CloseButtonClick();
        Shell::settle();
        QCOMPARE(log.closes, 1);
        QCOMPARE(s.form.mdiArea()->subWindowList().size(), 1);
        QCOMPARE(s.form.mdiArea()->subWindowList().first()->windowTitle(), QStringLiteral("first"));
    }

    void windowCommandsFollowTheDataWindows() {
        Shell s;
        s.form.resize(900, 700);
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        ProbeWindow::Log log;
        QMdiSubWindow* a = s.form.addDataWindow(new ProbeWindow(log, QStringLiteral("TABLE: a&b")));
        for (QAction* c :
             {s.form.WindowCascade1, s.form.WindowTileHorizontal1, s.form.WindowTileVertical1,
              s.form.WindowMinimizeAll1, s.form.WindowArrangeAll1})
            QVERIFY(c->isEnabled());
        QVERIFY(a->isMaximized());
        QMdiSubWindow* b = s.form.addDataWindow(new ProbeWindow(log, QStringLiteral("TABLE: b")));

        // The Window menu lists the open windows after its commands.
        Q_EMIT s.form.Window1->aboutToShow();
        QStringList entries;
        for (QAction* item : s.form.Window1->actions())
            entries << (item->isSeparator() ? QStringLiteral("-") : item->text());
        QCOMPARE(entries.mid(5), QStringList({"-", "&1 TABLE: a&&b", "&2 TABLE: b"}));
        s.form.Window1->actions().at(6)->trigger();
        QCOMPARE(s.form.mdiArea()->activeSubWindow(), a);

        const QRect area = s.form.mdiArea()->viewport()->rect();
        s.form.WindowTileHorizontal1Execute(); // one above the other
        QCOMPARE(a->geometry().width(), area.width());
        QCOMPARE(b->geometry().width(), area.width());
        QCOMPARE(a->geometry().top(), area.top());
        QVERIFY(b->geometry().top() >= a->geometry().bottom());

        s.form.WindowTileVertical1Execute(); // side by side
        QCOMPARE(a->geometry().height(), area.height());
        QCOMPARE(a->geometry().left(), area.left());
        QVERIFY(b->geometry().left() >= a->geometry().right());

        s.form.WindowCascade1Execute();
        QVERIFY(a->geometry().topLeft() != b->geometry().topLeft());

        s.form.WindowMinimizeAll1Execute();
        QVERIFY(a->isMinimized() && b->isMinimized());
        a->move(300, 10);
        s.form.WindowArrangeAll1Execute();
        QCOMPARE(a->geometry().bottom(), area.bottom());
        QCOMPARE(b->geometry().bottom(), area.bottom());
        QCOMPARE(a->geometry().left(), area.left());

        a->close();
        b->close();
        Shell::settle();
        QVERIFY(!s.form.WindowCascade1->isEnabled());
        QVERIFY(!s.form.WindowArrangeAll1->isEnabled());
    }

    // Files opened through the Open dialog are remembered across a restart,
    // most recent first; reopening one keeps the order; a failed open is not
    // remembered.
    void recentFilesSurviveARestart() {
        const mainwin::SettingsFolder settings;
        const QString a = dir.filePath("a.mdb");
        const QString b = dir.filePath("b.mdb");
        testdb::run(a, "CREATE TABLE t(x INT);");
        testdb::run(b, "CREATE TABLE u(y INT);");
        ScriptedDialogs dialogs;
        {
            Shell run(dialogs);
            QVERIFY(recentFiles(run.form).isEmpty());
            dialogs.fileAnswers = {a, dir.filePath("missing.mdb"), b};
            run.form.actFileOpenExecute();
            run.form.mnuDisconnectClick();
            run.form.actFileOpenExecute(); // error, then the password prompt, cancelled
            run.form.actFileOpenExecute();
            QVERIFY(connectionManager->connection.connected());
            QCOMPARE(recentFiles(run.form), (QStringList{b, a}));
        } // the program ends normally with b still open
        QCOMPARE(dialogs.count("error"), 1);

        {
            Shell again(dialogs);
            QCOMPARE(recentFiles(again.form), (QStringList{b, a}));
            QVERIFY(again.form.mnuMRU->menuAction()->isEnabled());
            again.form.mnuMRU->actions().at(1)->trigger();
            QVERIFY(connectionManager->connection.connected());
            QCOMPARE(again.form.ConnectedTo, a);
            QCOMPARE(recentFiles(again.form), (QStringList{b, a}));
        }
    }

    // Opening the submenu while it is empty does not keep later entries out.
    void recentFilesShowInTheSubmenuAtOnce() {
        const mainwin::SettingsFolder settings;
        ScriptedDialogs dialogs;
        {
            Shell s(dialogs);
            showActive(s.form);
            QCOMPARE(shownRecentFiles(s.form), QStringList({"(empty) (disabled)"}));
            dialogs.fileAnswers = {shopDb};
            s.form.actFileOpenExecute();
            s.form.mnuDisconnectClick();
            QCOMPARE(shownRecentFiles(s.form), QStringList({shopDb}));
        }
    }

    void unhandledErrorOfAHandlerIsReported() {
        ScriptedDialogs dialogs;
        QPushButton button;
        int clicks = 0;
        // Handlers run through tk::handler, which reports where they run.
        connect(&button, &QPushButton::clicked, tk::handler([&] {
            ++clicks;
            throw vdata::DataError("no such table: Query]");
        }));
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2); // the program went on after the first error
        QCOMPARE(dialogs.count("error"), 2);
        QCOMPARE(dialogs.shown[0].caption, title);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("no such table: Query]."));
        // Work the user cancelled shows nothing.
        dialogs.clear();
        QPushButton silent;
        connect(&silent, &QPushButton::clicked, tk::handler([] {
            throw vdata::DataError("cancelled", vdata::ErrorKind::Cancelled);
        }));
        QTest::mouseClick(&silent, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 0);
    }

    // The termination signals end the program the normal way.
    void terminationSignalRunsTheHandlerInTheEventLoop() {
        auto* app = static_cast<tk::Application*>(qApp);
        int calls = 0;
        app->onTerminationSignal([&] { ++calls; });
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_COMPARE(calls, 1);
        QCOMPARE(::raise(SIGINT), 0);
        QTRY_COMPARE(calls, 2);
        app->onTerminationSignal({});
    }
};

int main(int argc, char** argv) {
    tk::Application app(argc, argv);
    TestMainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainform.moc"
