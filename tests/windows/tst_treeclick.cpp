// Opening data windows from the main window's database tree, on a real
// SQLite file: the three kinds, the roots, odd table names and failures.

#include "data/service/Command.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/Cursors.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>

using namespace wintest;

namespace {

QTreeWidgetItem* node(MainWindow& form, const QString& parent, const QString& text) {
    for (QTreeWidgetItem* item :
         form.DBTree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive)) {
        if ((item->parent() != nullptr ? item->parent()->text(0) : QString()) == parent) {
            return item;
        }
    }
    return nullptr;
}

void click(MainWindow& form, QTreeWidgetItem* item) {
    QVERIFY(item);
    form.DBTree->setCurrentItem(item);
    form.DBTreeClick();
}

QStringList items(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result << list->item(i)->text();
    }
    return result;
}

QList<DataWindow*> windows(MainWindow& form) {
    QList<DataWindow*> result;
    for (QMdiSubWindow* sub : form.MdiClient->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* w = qobject_cast<DataWindow*>(sub->widget())) {
            result << w;
        }
    }
    return result;
}

// A name as one SQL identifier, by the rules both engines share.
std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

// A master table named `name` with a key column of the same name, and a child
// table "lines of <name>" whose column "<name> ref" points at it.
std::string oddTablesScript(const std::string& name) {
    const std::string master = quoted(name);
    const std::string child = quoted("lines of " + name);
    return "CREATE TABLE " + master + " (" + master + " INT, label VARCHAR(10));" + "INSERT INTO " +
           master + " VALUES (1, 'one'), (2, 'two');" + "CREATE TABLE " + child + " (id INT, " +
           quoted(name + " ref") + " INT);" + "INSERT INTO " + child +
           " VALUES (10, 1), (11, 1), (12, 2);";
}

} // namespace

class TestTreeClick : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void tableClickedTwiceOpensTwoTableViews() {
        Env env;
        env.form.show();
        // Active, as under a window manager: a new window's activation must
        // not pass the keyboard through the search box on its way to the grid.
        QApplication::setActiveWindow(&env.form);
        QVERIFY(QTest::qWaitForWindowActive(&env.form));
        // The roots open nothing.
        click(env.form, node(env.form, {}, QStringLiteral("Misc")));
        click(env.form, node(env.form, {}, QStringLiteral("Tables")));
        QVERIFY(windows(env.form).isEmpty());
        QTreeWidgetItem* customers =
            node(env.form, QStringLiteral("Tables"), QStringLiteral("Customers"));
        click(env.form, customers);
        click(env.form, customers);
        const QList<DataWindow*> open = windows(env.form);
        QCOMPARE(open.size(), 2);
        for (DataWindow* w : open) {
            QCOMPARE(w->windowTitle(), QStringLiteral("TABLE: Customers"));
            QCOMPARE(w->query().sql(), std::string("SELECT * FROM [Customers]"));
            QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record 1 / 4"));
            QCOMPARE(w->master().cboTraziPo->count(), 5);
            QVERIFY(!w->sqlArea());
            QVERIFY(!w->detail());
            QVERIFY(!w->setup());
            QCOMPARE(w->sqlBox(), nullptr); // the SQL box is the freehand window's
            QCOMPARE(w->master().edTrazi->text(), DataSetPanel::searchPlaceholder);
        }
        QCOMPARE(QApplication::focusWidget(), open[1]->master().Grid);
        QVERIFY(open[1]->parentWidget()->isMaximized());
        open[0]->query().moveTo(3); // two windows, two queries
        QCOMPARE(open[1]->query().currentRow(), 0);
        QVERIFY(env.form.CloseButton->isVisibleTo(&env.form));
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void oddTableNames_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");      // -1: the open fails
        QTest::addColumn<QString>("shown"); // in the tree and the caption; empty: the name
        QTest::newRow("a table named Query is a table") << "Query" << 1 << QString();
        QTest::newRow("a blank in the name") << "Order Lines" << 1 << QString();
        QTest::newRow("a bracket in the name") << "we]ird" << 0 << QString();
        QTest::newRow("a view whose table is gone") << "broken" << -1 << QString();
        QTest::newRow("control characters in the name")
            << "two\nlines\r\tbell\x07\x7f" << 0 << "two\\nlines\\r\\tbell\\x07\\x7F";
    }
    void oddTableNames() {
        QFETCH(QString, table);
        QFETCH(int, rows);
        QFETCH(QString, shown);
        shown = shown.isEmpty() ? table : shown;
        Env env;
        {
            auto other = env.other();
            vdata::Command broken(other.get());
            const std::string odd = "CREATE TABLE \"two\nlines\r\tbell\x07\x7f\" (x INT)";
            for (const char* sql :
                 {"CREATE TABLE gone (x INT)", "CREATE VIEW broken AS SELECT * FROM gone",
                  "DROP TABLE gone", odd.c_str()}) {
                broken.setCommandText(sql);
                broken.execute();
            }
        }
        env.form.FillDatabaseTree();
        click(env.form, node(env.form, QStringLiteral("Tables"), shown));
        DataWindow* w = windows(env.form).value(0);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), "TABLE: " + shown);
        QVERIFY(!w->sqlArea());
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        if (rows >= 0) {
            QCOMPARE(w->query().recordCount(), rows);
            QCOMPARE(env.dialogs.shown.size(), 0);
            return;
        }
        // The failure goes to the default report; the second initialisation is skipped.
        QVERIFY(!w->query().active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, appTitle);
        QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(w->sqlBox(), nullptr); // the SQL box is the freehand window's
    }

    // Any table or column name reaches the engine as one name: the tree opens
    // the table, the master-detail window probes, links and follows it, and
    // nothing else runs (the victim sequence keeps its value).
    void oddNamesOpenAndLinkOnBothEngines_data() {
        QTest::addColumn<bool>("postgres");
        QTest::addColumn<QString>("name");
        const QStringList names{"odd]name", "a\"b", "Order Details", "select",
                                "t], setval('victim_seq', 1) AS [s"};
        for (const bool postgres : {false, true}) {
            for (const QString& name : names) {
                const QString row = (postgres ? "postgres " : "sqlite ") + name;
                QTest::newRow(row.toUtf8().constData()) << postgres << name;
            }
        }
    }
    void oddNamesOpenAndLinkOnBothEngines() {
        QFETCH(bool, postgres);
        QFETCH(QString, name);
        if (postgres && !pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        const std::string table = tk::ss(name);
        Env env(postgres ? "PRAGMA user_version = 1;" : oddTablesScript(table).c_str());
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        if (postgres) {
            pg = std::make_unique<pgtest::ScratchDatabase>("odd");
            pg->exec(oddTablesScript(table) +
                     "CREATE SEQUENCE victim_seq; SELECT setval('victim_seq', 42);"
                     "CREATE TABLE t (x INT); INSERT INTO t VALUES (1);");
            env.dm.connection.close();
            env.dm.connection.setConnectionString(pg->connectionString());
            env.dm.connection.open();
        }
        const auto victimKept = [&] {
            return !pg || pg->query("SELECT last_value FROM victim_seq").at(0).at(0) == "42";
        };
        click(env.form, node(env.form, QStringLiteral("Tables"), name));
        QVERIFY(victimKept());
        DataWindow* view = windows(env.form).value(0);
        QVERIFY(view);
        QCOMPARE(view->query().recordCount(), 2);
        QCOMPARE(column(view->query(), 1), (QStringList{"one", "two"}));

        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        chooseTable(w, w.setup()->cboMasterTable, name);
        chooseTable(w, w.setup()->cboChildTable, "lines of " + name);
        QCOMPARE(items(w.setup()->lbMasterFields), (QStringList{name, "label"}));
        pair(w, name, name + " ref");
        w.setup()->MCRefreshButton->click();
        QCOMPARE(env.dialogs.texts(), QStringList{});
        QCOMPARE(w.query().recordCount(), 2);
        QCOMPARE(column(w.detail()->query(), 0), (QStringList{"10", "11"}));
        w.query().moveTo(1);
        QCOMPARE(column(w.detail()->query(), 0), QStringList{"12"});
        QVERIFY(victimKept());
    }

    void freehandAndMasterDetailEntries() {
        Env env;
        click(env.form, node(env.form, QStringLiteral("Misc"), QStringLiteral("Query")));
        click(env.form, node(env.form, QStringLiteral("Misc"), QStringLiteral("Master detail")));
        const QList<DataWindow*> open = windows(env.form);
        QCOMPARE(open.size(), 2);
        DataWindow* freehand = open[0];
        QCOMPARE(freehand->windowTitle(), QStringLiteral("\"Freehand\" query"));
        QVERIFY(freehand->sqlArea());
        QVERIFY(!freehand->detail());
        QVERIFY(!freehand->setup());
        QVERIFY(!freehand->query().active());
        DataWindow* md = open[1];
        QCOMPARE(md->windowTitle(), QStringLiteral("Master-detail"));
        QVERIFY(!md->sqlArea());
        QVERIFY(md->detail());
        QVERIFY(md->setup());
        QCOMPARE(md->setup()->cboMasterTable->count(), int(env.dm.connection.tableNames().size()));
        // The keyboard starts in the SQL text (whose selected placeholder the
        // first keystroke replaces) and in the setup area; the search boxes
        // keep their placeholders.
        QCOMPARE(freehand->focusWidget(), freehand->sqlBox());
        QCOMPARE(freehand->sqlBox()->selectedText(), QStringLiteral("[Enter SQL query here]"));
        QCOMPARE(md->focusWidget(), md->setup()->cboMasterTable);
        QCOMPARE(freehand->master().edTrazi->text(),
                 QStringLiteral("Enter your search term, hit [RETURN]"));
        QCOMPARE(env.dialogs.shown.size(), 0);
        // Disconnect closes them all.
        env.form.mnuDisconnectClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(windows(env.form).isEmpty());
    }
};

QTEST_MAIN(TestTreeClick)
#include "tst_treeclick.moc"
