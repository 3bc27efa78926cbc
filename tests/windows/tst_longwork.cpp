// Long work started as the user starts it (a click in the tree, the freehand
// Refresh button, the navigator's Refresh, a title click), cancelled from its
// progress dialog, on both engines: what the window shows afterwards, that
// no error is reported, and on PostgreSQL that the server stopped too and
// the session still works.

#include "tests/support/CancelWhenShown.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Progress.h"
#include "windows/ScriptMessages.h"
#include "windows/ScriptResults.h"

#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace wintest;

namespace {

// Five million rows sorted before the first is sent: seconds before any row
// shows (a result read in steps still waits for its first rows), cancelled
// after half a second.
const char* const sqliteViews = R"sql(
CREATE VIEW slow AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 5000000)
  SELECT x, hex(x) AS h FROM c ORDER BY h;
CREATE VIEW small AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 100000)
  SELECT x, printf('%06d', 100000 - x) AS h FROM c;
CREATE TABLE tiny (id INT);
INSERT INTO tiny VALUES (7);
)sql";
const char* const pgViews = R"sql(
CREATE VIEW slow AS
  SELECT g AS x, md5(g::text) AS h FROM generate_series(1, 5000000) g ORDER BY h;
CREATE VIEW small AS
  SELECT g AS x, lpad((100000 - g)::text, 6, '0') AS h FROM generate_series(1, 100000) g;
CREATE TABLE tiny (id INT);
INSERT INTO tiny VALUES (7);
)sql";
const QString slowSelect = QStringLiteral("SELECT * FROM slow");
// One row, after seconds of counting (forty million rows).
const QString slowCount = QStringLiteral(
    "SELECT count(*) FROM slow, (SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL "
    "SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8) AS v");

// The program connected to a database with the views above.
struct Program {
    Env env{""};
    std::unique_ptr<pgtest::ScratchDatabase> pg;
    mainwin::SettingsFolder settings;

    explicit Program(bool postgres) {
        if (postgres) {
            pg = std::make_unique<pgtest::ScratchDatabase>("longwork");
            pg->exec(pgViews);
            env.dm.connection.close();
            env.dm.connection.setConnectionString(pg->connectionString());
        } else {
            testdb::run(env.path, sqliteViews);
        }
        env.dm.connection.open();
        env.form.FillDatabaseTree();
        mainwin::showActive(env.form);
        env.dialogs.clear();
    }

    DataWindow* open(const QString& node) { return env.click(QStringLiteral("Tables"), node); }

    // Sessions of the server still running the slow statement.
    int serverStillReading() const {
        const auto rows = pgtest::adminQuery(
            pg->name(), "SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND "
                        "query LIKE '%generate_series%' AND pid <> pg_backend_pid() AND "
                        "datname = current_database()");
        return std::stoi(rows.at(0).at(0));
    }
};

QStringList firstValues(const vdata::Query& q) {
    QStringList values;
    for (int r = 0; r < std::min(3, q.recordCount()); ++r) {
        values << tk::qs(q.cellText(r, 0));
    }
    return values;
}

// A search for a value no row has, on the first column.
void search(DataWindow& w, const QString& term) {
    w.master().cboTraziPo->setCurrentIndex(0);
    w.master().edTrazi->setText(term);
    QTest::keyClick(w.master().edTrazi, Qt::Key_Return);
}

void clickTitle(tk::DBGrid* grid, int column) {
    QHeaderView* titles = grid->horizontalHeader();
    const int x = titles->sectionViewportPosition(column) + 5;
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
}

} // namespace

class TestLongWork : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }
    void cleanup() { tk::ProgressGuard::setShowAfterMs(500); }

    void cancelFromTheProgressDialog_data() {
        QTest::addColumn<bool>("postgres");
        QTest::addColumn<QString>("how");
        for (const bool postgres : {false, true}) {
            for (const char* how :
                 {"tree", "freehand", "count", "refresh", "sort", "search", "detail"}) {
                const QString tag = (postgres ? "postgres " : "sqlite ") + QLatin1String(how);
                QTest::newRow(tag.toUtf8().constData()) << postgres << QString::fromLatin1(how);
            }
        }
    }

    void cancelFromTheProgressDialog() {
        QFETCH(bool, postgres);
        QFETCH(QString, how);
        if (postgres && !pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        Program program(postgres);
        DataWindow* w = nullptr;
        QStringList orderBefore;
        std::unique_ptr<CancelWhenShown> cancel;
        if (how == QLatin1String("tree")) {
            cancel = std::make_unique<CancelWhenShown>(false); // sorted: no row before the end
            QVERIFY(!program.open(QStringLiteral("slow")));
        } else if (how == QLatin1String("freehand") || how == QLatin1String("count")) {
            mainwin::clickNode(
                program.env.form,
                mainwin::node(program.env.form, QStringLiteral("Misc"), QStringLiteral("Query")));
            w = mainwin::dataWindows(program.env.form).value(0);
            QVERIFY(w);
            const bool count = how == QLatin1String("count");
            // The rows come sorted: none before the sort is done.
            cancel = std::make_unique<CancelWhenShown>(false);
            gridtest::typeAndRun(*w, count ? slowCount : slowSelect);
        } else if (how == QLatin1String("detail")) {
            // Master and detail linked on x: a step down the master reads the
            // detail again, and that is cancelled. The server answers a small
            // detail before it is asked about progress, so it gets the slow one.
            w = new DataWindow(program.env.connection(), DataWindow::Use::MasterDetail);
            program.env.form.MdiClient->addSubWindow(w)->show();
            chooseTable(*w, w->setup()->cboMasterTable, QStringLiteral("small"));
            chooseTable(*w, w->setup()->cboChildTable,
                        postgres ? QStringLiteral("slow") : QStringLiteral("small"));
            pair(*w, QStringLiteral("x"), QStringLiteral("x"));
            w->setup()->MCRefreshButton->click();
            QVERIFY(w->master().readAllRows());
            QCOMPARE(w->detail()->lblRecNo->text(), QStringLiteral("Record 1 / 1"));
            tk::ProgressGuard::setShowAfterMs(0);
            cancel = std::make_unique<CancelWhenShown>(false);
            w->master().Grid->setFocus();
            QTest::keyClick(w->master().Grid, Qt::Key_Down);
        } else {
            // A result that is quick to read; its work shows the dialog at once.
            w = program.open(QStringLiteral("small"));
            QVERIFY(w && w->query().recordCount() == 100000);
            orderBefore = firstValues(w->query());
            tk::ProgressGuard::setShowAfterMs(0);
            cancel = std::make_unique<CancelWhenShown>();
            if (how == QLatin1String("refresh")) {
                gridtest::press(w->master().DBNavigator, tk::DBNavigator::Refresh);
            } else if (how == QLatin1String("sort")) {
                clickTitle(w->master().Grid, 1);
            } else {
                search(*w, QStringLiteral("0"));
            }
        }
        QVERIFY(cancel->pressed());
        const QString what = how == QLatin1String("sort")     ? "Rows sorted: "
                             : how == QLatin1String("search") ? "Rows searched: "
                                                              : "Rows read: ";
        QVERIFY2(cancel->label().startsWith(what), qPrintable(cancel->label()));
        QCOMPARE(program.env.dialogs.kinds(), QStringList());
        QVERIFY(!QApplication::activeModalWidget());

        if (how == QLatin1String("detail")) {
            // The master moved and says so; the detail keeps nothing half-read.
            QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record 2 / 100000"));
            QVERIFY(!w->detail()->query().active());
            QCOMPARE(w->detail()->Grid->model()->rowCount(), 0);
            QCOMPARE(w->detail()->lblRecNo->text(), DataSetPanel::noDataset);
        } else if (how == QLatin1String("tree")) {
            // The window of a cancelled open goes.
            QCOMPARE(mainwin::dataWindows(program.env.form).size(), 0);
        } else if (how == QLatin1String("sort") || how == QLatin1String("search")) {
            // The order shown and the current record stay.
            QVERIFY(w->query().active());
            QCOMPARE(firstValues(w->query()), orderBefore);
            QCOMPARE(tk::qs(w->query().sort()), QString());
            QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record 1 / 100000"));
            if (how == QLatin1String("sort")) {
                // Left alone, the same sort finishes (h runs against x).
                tk::ProgressGuard::setShowAfterMs(500);
                clickTitle(w->master().Grid, 1);
                QCOMPARE(firstValues(w->query()),
                         QStringList({QStringLiteral("100000"), QStringLiteral("99999"),
                                      QStringLiteral("99998")}));
            }
        } else {
            // A cancelled read keeps no rows: the query is closed and says so.
            QVERIFY(!w->query().active());
            QCOMPARE(w->master().Grid->model()->rowCount(), 0);
            QCOMPARE(w->master().lblRecNo->text(), DataSetPanel::noDataset);
        }
        if (postgres) {
            // The server ends a cancelled statement as soon as it sees the
            // request, which comes on a connection of its own.
            QTRY_COMPARE(program.serverStillReading(), 0);
        }
        // The session still works.
        DataWindow* next = program.open(QStringLiteral("tiny"));
        QVERIFY(next);
        QCOMPARE(next->master().lblRecNo->text(), QStringLiteral("Record 1 / 1"));
        QCOMPARE(program.env.dialogs.kinds(), QStringList());
    }

    // A statement that runs long, alone or in a script, is cancelled from
    // the progress dialog: the server stops, nothing is reported as an
    // error, and nothing after it runs.
    void cancelledStatementStops_data() {
        QTest::addColumn<bool>("postgres");
        QTest::addColumn<bool>("script");
        for (const bool postgres : {false, true}) {
            if (postgres && !pgtest::testServer()) {
                continue;
            }
            for (const bool script : {false, true}) {
                const QString tag = QLatin1String(postgres ? "postgres " : "sqlite ") +
                                    QLatin1String(script ? "script" : "alone");
                QTest::newRow(qPrintable(tag)) << postgres << script;
            }
        }
    }
    void cancelledStatementStops() {
        QFETCH(bool, postgres);
        QFETCH(bool, script);
        Program program(postgres);
        DataWindow w(program.env.connection(), DataWindow::Use::Freehand);
        w.show();
        QApplication::setActiveWindow(&w);
        const QString insert = QStringLiteral("INSERT INTO tiny ") + slowCount;
        gridtest::typeText(w, script ? insert + QStringLiteral(";\nINSERT INTO tiny VALUES (8);")
                                     : insert);
        tk::ProgressGuard::setShowAfterMs(0);
        const CancelWhenShown cancel(false);
        if (script) {
            QTest::keyClick(w.sqlBox(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            QTest::mouseClick(w.runButton(), Qt::LeftButton);
        }
        QVERIFY(cancel.pressed());
        QCOMPARE(program.env.dialogs.kinds(), QStringList());
        if (script) {
            const auto* messages = w.results()->findChild<ScriptMessages*>();
            QVERIFY(messages);
            QCOMPARE(messages->item(0, 4)->text(), QStringLiteral("Cancelled"));
            QCOMPARE(messages->rowCount(), 2);
        }
        const std::string count = "SELECT count(*) FROM tiny";
        QCOMPARE(postgres ? program.pg->query(count).at(0).at(0) : program.env.readBack(count),
                 std::string("1"));
        if (postgres) {
            // The server ends a cancelled statement as soon as it sees the
            // request, which comes on a connection of its own.
            QTRY_COMPARE(program.serverStillReading(), 0);
        }
    }
};

QTEST_MAIN(TestLongWork)
#include "tst_longwork.moc"
