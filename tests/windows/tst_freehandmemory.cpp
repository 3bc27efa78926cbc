// What the freehand window remembers, driven through the program: the
// statements run (read back from the history file through a second
// connection), the history panel, the text kept per database, .sql files
// and the editor/results split. Every test keeps its data in a new folder.

#include "tests/support/MainWindowDriver.h"
#include "tests/support/WindowTestEnv.h"

#include "toolkit/SqlEditor.h"
#include "windows/HistoryPanel.h"
#include "windows/KeptText.h"
#include "windows/QueryHistory.h"

#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>

using namespace wintest;

namespace {

// One value (or "<no row>") read from the history file through a
// connection of its own.
std::string historyValue(const std::string& sql) {
    auto c = ProgramFixture::connectTo(testdb::jetString(QueryHistory::fileName()));
    vdata::Query q(c.get());
    q.setSQL(sql);
    q.open();
    return q.isEmpty() ? std::string("<no row>") : q.field(0).asString();
}

// A freehand window opened from the tree, shown with the keyboard in its
// editor.
DataWindow* freehand(ProgramFixture& p) {
    if (!p.form.isVisible()) {
        p.show();
    }
    DataWindow* w = p.click(QStringLiteral("Misc"), QStringLiteral("Query"));
    if (w) {
        QApplication::setActiveWindow(&p.form);
        w->sqlBox()->setFocus();
    }
    return w;
}

// Types `sql` over the editor's text and runs it with Ctrl+Return.
void typeAndRun(DataWindow& w, const QString& sql) {
    w.sqlBox()->selectAll();
    QTest::keyClicks(w.sqlBox(), sql);
    QTest::keyClick(w.sqlBox(), Qt::Key_Return, Qt::ControlModifier);
}

void drop(QWidget* target, const QString& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &dropped);
}

QByteArray fileBytes(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestFreehandMemory : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void databaseKeyLeavesPasswordsOut() {
        QCOMPARE(QueryHistory::databaseKey("Provider=SQLOLEDB.1;Data Source=h;uid=ann;PWD=s;"
                                           "Initial Catalog=shop"),
                 QStringLiteral("Provider=SQLOLEDB.1;Data Source=h;uid=ann;Initial Catalog=shop;"));
        QCOMPARE(QueryHistory::databaseKey("Data Source=a;Jet OLEDB:Database Password=x"),
                 QStringLiteral("Data Source=a;"));
    }

    void runsAreRecordedWithRowsAndFailures() {
        mainwin::SettingsFolder folder;
        Env env;
        DataWindow* w = freehand(env);
        QVERIFY(w);
        typeAndRun(*w, QStringLiteral("SELECT * FROM Orders"));
        typeAndRun(*w, QStringLiteral("UPDATE Orders SET Amount = 1 WHERE CustomerID = 'ALFKI'"));
        typeAndRun(*w, QStringLiteral("SELECT * FROM NoSuchTable"));
        const std::string db =
            QueryHistory::databaseKey(env.connection().connectionString()).toStdString();
        QCOMPARE(historyValue("SELECT group_concat(row_count || '/' || failed, ' ') FROM "
                              "(SELECT * FROM history WHERE db = '" +
                              db + "' ORDER BY id)"),
                 std::string("4/0 3/0 -1/1"));
        QVERIFY(historyValue("SELECT error FROM history WHERE failed = 1").find("NoSuchTable") !=
                std::string::npos);
        QCOMPARE(historyValue("SELECT sql FROM history ORDER BY id LIMIT 1"),
                 std::string("SELECT * FROM Orders"));
    }

    void panelFiltersAndPutsAStatementBack() {
        mainwin::SettingsFolder folder;
        Env env;
        DataWindow* w = freehand(env);
        QVERIFY(w);
        typeAndRun(*w, QStringLiteral("SELECT * FROM Orders"));
        typeAndRun(*w, QStringLiteral("SELECT * FROM Customers"));
        QTest::keyClick(w->sqlBox(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
        HistoryPanel* panel = w->historyPanel();
        QVERIFY(panel->isVisible());
        QTreeWidget* list = panel->list();
        QCOMPARE(list->topLevelItemCount(), 2);
        QVERIFY(list->topLevelItem(0)->text(3).contains(QStringLiteral("Customers")));
        QTest::keyClicks(panel->filterBox(), QStringLiteral("oRDERs"));
        QVERIFY(list->topLevelItem(0)->isHidden());
        QVERIFY(!list->topLevelItem(1)->isHidden());
        // Put back in place of the selection, and not run.
        w->sqlBox()->setText(QStringLiteral("-- a\n"));
        w->sqlBox()->setCursorPosition(1, 0);
        const QRect row = list->visualItemRect(list->topLevelItem(1));
        // A double-click is a press and release, then the second press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(w->sqlBox()->text(), QStringLiteral("-- a\nSELECT * FROM Orders"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return); // the current one, at the caret
        QCOMPARE(w->sqlBox()->text(),
                 QStringLiteral("-- a\nSELECT * FROM OrdersSELECT * FROM Orders"));
        QCOMPARE(historyValue("SELECT count(*) FROM history"), std::string("2"));
    }

    void keptTextComesBackWithoutRunning() {
        mainwin::SettingsFolder folder;
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/kept.db");
        const QString text = QStringLiteral("SELECT * FROM Orders");
        {
            Env env;
            QVERIFY(QFile::copy(env.path, path));
        }
        ScriptedDialogs dialogs; // after the first program's own
        {
            ProgramFixture first(dialogs);
            first.open(path);
            DataWindow* w = freehand(first);
            QVERIFY(w);
            QTest::keyClicks(w->sqlBox(), text);
            // Saved a pause after the typing, without the window closing.
            auto* pause = w->findChild<QTimer*>(QStringLiteral("KeptTextPause"));
            QVERIFY(pause);
            QTRY_VERIFY(pause->isActive());
            pause->setInterval(0);
            pause->start();
            QTRY_COMPARE(historyValue("SELECT text FROM kept_text"), text.toStdString());
            QTest::keyClicks(w->sqlBox(), QStringLiteral(" WHERE 1"));
            first.closeActive();
            w = freehand(first);
            QCOMPARE(w->sqlBox()->text(), text + QStringLiteral(" WHERE 1"));
            QTest::keyClicks(w->sqlBox(), QStringLiteral(" = 1"));
            first.form.close(); // the program ends
            ProgramFixture::settle();
        }
        ProgramFixture second(dialogs);
        second.open(path);
        DataWindow* w = freehand(second);
        QCOMPARE(w->sqlBox()->text(), text + QStringLiteral(" WHERE 1 = 1"));
        QVERIFY(!w->query().active());
        QCOMPARE(historyValue("SELECT count(*) FROM history"), std::string("0"));
        // A second window at the same time has a slot of its own.
        QCOMPARE(freehand(second)->keptText()->slot(), 2);
    }

    void sqlFileSavesAndOpensExactly() {
        mainwin::SettingsFolder folder;
        Env env;
        DataWindow* w = freehand(env);
        QVERIFY(w);
        const QString name = env.dir.path() + QStringLiteral("/ünïcode.sql");
        const QString text = QStringLiteral("SELECT 'Grüße, 東京' AS x;\n\n-- end\n");
        // Typed text in no file is not replaced without asking.
        QTest::keyClicks(w->sqlBox(), QStringLiteral("typed"));
        QTest::keyClick(w->sqlBox(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(env.dialogs.kinds(), QStringList{QStringLiteral("asksave")});
        QCOMPARE(w->sqlBox()->text(), QStringLiteral("typed"));
        w->sqlBox()->setText(text);
        env.dialogs.fileAnswers.push_back(name);
        QTest::keyClick(w->sqlBox(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fileBytes(name), text.toUtf8());
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("ünïcode.sql - ")));
        QTest::keyClicks(w->sqlBox(), QStringLiteral("x"));
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("ünïcode.sql* - ")));
        // A window with a file saves to it without asking.
        QTest::keyClick(w->sqlBox(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(env.count("save"), 1);
        QCOMPARE(fileBytes(name), (QStringLiteral("x") + text).toUtf8());
        w->sqlBox()->setText(QString());
        env.dialogs.saveChoices.push_back(tk::SaveChoice::Discard);
        env.dialogs.fileAnswers.push_back(name);
        QTest::keyClick(w->sqlBox(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w->sqlBox()->text(), QStringLiteral("x") + text);
        QCOMPARE(env.count("asksave"), 2);
        // Closing with changes asks: Cancel keeps the window (and the
        // program, without a word), Save writes.
        QTest::keyClicks(w->sqlBox(), QStringLiteral("y"));
        env.form.close();
        ProgramFixture::settle();
        QCOMPARE(env.windowCount(), 1);
        QCOMPARE(env.count("warning"), 0);
        env.dialogs.saveChoices.push_back(tk::SaveChoice::Save);
        env.closeActive();
        QCOMPARE(env.windowCount(), 0);
        QCOMPARE(fileBytes(name), (QStringLiteral("yx") + text).toUtf8());
    }

    void badFilesGiveMessagesAndChangeNothing() {
        mainwin::SettingsFolder folder;
        Env env;
        DataWindow* w = freehand(env);
        QVERIFY(w);
        const QString missing = env.dir.path() + QStringLiteral("/missing.sql");
        const QString latin1 = env.dir.path() + QStringLiteral("/latin1.sql");
        writeFile(latin1, QByteArray("SELECT 'Gr\xfc\xdf' AS x"));
        for (const QString& name : {missing, env.dir.path(), latin1}) {
            w->sqlBox()->setText(QStringLiteral("kept"));
            env.dialogs.clear();
            env.dialogs.saveChoices.push_back(tk::SaveChoice::Discard);
            env.dialogs.fileAnswers.push_back(name);
            QTest::keyClick(w->sqlBox(), Qt::Key_O, Qt::ControlModifier);
            QCOMPARE(env.count("error"), 1);
            QVERIFY2(env.dialogs.shown.last().text.contains(QFileInfo(name).fileName()),
                     qPrintable(env.dialogs.shown.last().text));
            QCOMPARE(w->sqlBox()->text(), QStringLiteral("kept"));
            QCOMPARE(w->windowTitle(), QStringLiteral("\"Freehand\" query"));
        }
        // Dropped on the program, the same file opens no window.
        env.dialogs.clear();
        drop(&env.form, latin1);
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.windowCount(), 1);
    }

    void droppedSqlFilesOpenInNewWindows() {
        mainwin::SettingsFolder folder;
        ScriptedDialogs dialogs;
        ProgramFixture idle(dialogs);
        const QString name = idle.dir.path() + QStringLiteral("/drop.sql");
        writeFile(name, "SELECT 1");
        drop(&idle.form, name);
        QCOMPARE(dialogs.count("warning"), 1);
        QCOMPARE(idle.windowCount(), 0);
        Env env;
        DataWindow* w = freehand(env);
        drop(&env.form, name);
        drop(w->sqlBox()->viewport(), name);
        const QList<DataWindow*> windows = mainwin::dataWindows(env.form);
        QCOMPARE(windows.size(), 3);
        for (DataWindow* opened : windows.mid(1)) {
            QCOMPARE(opened->sqlBox()->text(), QStringLiteral("SELECT 1"));
            QVERIFY(!opened->query().active());
        }
    }

    void damagedHistoryFileStopsNothing() {
        mainwin::SettingsFolder folder;
        Env env;
        const QByteArray damaged(4096, 'x');
        QDir().mkpath(QFileInfo(QueryHistory::fileName()).absolutePath());
        writeFile(QueryHistory::fileName(), damaged);
        DataWindow* w = freehand(env);
        QVERIFY(w);
        typeAndRun(*w, QStringLiteral("SELECT * FROM Orders"));
        QCOMPARE(w->query().recordCount(), 4);
        QCOMPARE(env.dialogs.shown.size(), 0);
        QTest::keyClick(w->sqlBox(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(w->historyPanel()->problem()->isVisible());
        QVERIFY(w->historyPanel()->problem()->text().contains(QStringLiteral("history.sqlite")));
        env.closeActive();
        QCOMPARE(fileBytes(QueryHistory::fileName()), damaged);
    }

    void splitIsRememberedForTheNextWindow() {
        mainwin::SettingsFolder folder;
        Env env;
        DataWindow* w = freehand(env);
        QVERIFY(w);
        QSplitter* splitter = w->splitter();
        const QList<int> before = splitter->sizes();
        QWidget* handle = splitter->handle(1);
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(5, 2));
        QTest::mouseMove(handle, QPoint(5, 62));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(5, 62));
        const QList<int> dragged = splitter->sizes();
        QVERIFY(dragged.first() > before.first());
        env.closeActive();
        QCOMPARE(freehand(env)->splitter()->sizes(), dragged);
    }
};

QTEST_MAIN(TestFreehandMemory)
#include "tst_freehandmemory.moc"
