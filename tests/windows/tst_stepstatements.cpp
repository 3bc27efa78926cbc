// The freehand window's result and the master-detail window's child show
// their first rows at once and read the rest while the user works, on
// SQLite, PostgreSQL and MariaDB: every row once and in order, an edit
// during the read stored as typed, a statement inside the user's
// transaction sees what it wrote, and a statement that fails mid-read ends
// with its message, keeping the rows read.

#include "tests/support/EngineDb.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/DBNavigator.h"

#include <QElapsedTimer>
#include <QTest>

using namespace wintest;
using enginetest::EngineDb;

namespace {

constexpr int generatedRows = 100000;
constexpr int childRows = 20000;

// SQLite (unless left out) and the servers that run.
QStringList enginesHere(bool sqlite) {
    QStringList engines;
    if (sqlite) {
        engines << QStringLiteral("sqlite");
    }
    if (pgtest::testServer()) {
        engines << QStringLiteral("postgres");
    }
    if (mariadbtest::testServer()) {
        engines << QStringLiteral("mariadb");
    }
    return engines;
}

void engineRows(bool sqlite) {
    QTest::addColumn<QString>("engine");
    for (const QString& engine : enginesHere(sqlite)) {
        QTest::newRow(qPrintable(engine)) << engine;
    }
}

// 1 .. n as each engine generates them in a SELECT.
std::string generated(const std::string& engine, int n) {
    const std::string count = std::to_string(n);
    if (engine == "postgres") {
        return "SELECT g FROM generate_series(1, " + count + ") g";
    }
    if (engine == "mariadb") {
        return "SELECT seq FROM seq_1_to_" + count;
    }
    return "SELECT i FROM (WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c LIMIT " +
           count + ") SELECT i FROM c)";
}

// As a user waits for the counter: the read ends.
bool awaitEnd(const vdata::Query& q) {
    QElapsedTimer waited;
    waited.start();
    while (q.reading() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return !q.reading();
}

std::unique_ptr<DataWindow> freehand(vdata::Connection& connection) {
    auto w = std::make_unique<DataWindow>(connection, DataWindow::Use::Freehand);
    w->show();
    return w;
}

QStringList oneTo(int n) {
    QStringList numbers;
    for (int i = 1; i <= n; ++i) {
        numbers << QString::number(i);
    }
    return numbers;
}

} // namespace

class TestStepStatements : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnConnectionWarnings(); }

    void freehandSelectReadsInSteps_data() { engineRows(true); }
    // The rows are still being read when Run returns; at the end each is
    // there once, in the order the statement gives.
    void freehandSelectReadsInSteps() {
        QFETCH(QString, engine);
        EngineDb db(engine, "CREATE TABLE x (id INT)");
        Env env("");
        auto w = freehand(db.connection());
        gridtest::typeAndRun(*w, tk::qs(generated(engine.toStdString(), generatedRows)));
        QVERIFY(w->query().reading());
        QVERIFY(awaitEnd(w->query()));
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(column(w->query(), 0), oneTo(generatedRows));
    }

    void childEditDuringTheReadIsStored_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("add");
        for (const QString& engine : enginesHere(true)) {
            QTest::addRow("%s, typed over", qPrintable(engine)) << engine << false;
            QTest::addRow("%s, added", qPrintable(engine)) << engine << true;
        }
    }
    // A child with many rows for its master reads in steps; a value typed
    // over, or a row added, meanwhile is stored as typed and shown once.
    void childEditDuringTheReadIsStored() {
        QFETCH(QString, engine);
        QFETCH(bool, add);
        const std::string e = engine.toStdString();
        EngineDb db(engine, "CREATE TABLE m (id INT PRIMARY KEY, name VARCHAR(10));"
                            "CREATE TABLE c (id INT PRIMARY KEY, m_id INT, note VARCHAR(10));"
                            "INSERT INTO m VALUES (1, 'one'), (2, 'two');"
                            "INSERT INTO c (id) SELECT * FROM (" +
                                generated(e, childRows) +
                                ") AS s; UPDATE c SET m_id = 1, note = 'n';");
        Env env("");
        DataWindow w(db.connection(), DataWindow::Use::MasterDetail);
        w.initialise();
        w.show();
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("m"));
        chooseTable(w, w.setup()->cboChildTable, QStringLiteral("c"));
        pair(w, QStringLiteral("id"), QStringLiteral("m_id"));
        w.setup()->MCRefreshButton->click();
        vdata::Query& child = w.detail()->query();
        QVERIFY(child.reading());
        gridtest::Driver d(w.detail()->Grid);
        const std::string id = add ? std::to_string(childRows + 1) : child.cellText(0, 0);
        if (add) {
            gridtest::press(w.detail()->DBNavigator, tk::DBNavigator::Insert);
            d.typeOver(0, 0, tk::qs(id));
            d.key(Qt::Key_Tab);
            d.key(Qt::Key_Tab);
            d.type(QStringLiteral("typed"));
        } else {
            d.typeOver(0, 2, QStringLiteral("typed"));
        }
        gridtest::press(w.detail()->DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(db.readRows("SELECT m_id, note FROM c WHERE id = " + id), std::string("1|typed;"));
        QVERIFY(child.reading());
        QVERIFY(awaitEnd(child));
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(child.recordCount(), childRows + (add ? 1 : 0));
        QStringList ids = column(child, 0);
        ids.sort();
        ids.removeDuplicates();
        QCOMPARE(ids.size(), child.recordCount());
        QCOMPARE(child.cellText(0, 2), std::string("typed"));
    }

    void selectInTheUsersTransactionSeesItsWrites_data() { engineRows(false); }
    // After BEGIN and an INSERT run in the window, a SELECT shows the row
    // that only this session's transaction holds.
    void selectInTheUsersTransactionSeesItsWrites() {
        QFETCH(QString, engine);
        EngineDb db(engine, "CREATE TABLE t (id INT PRIMARY KEY)");
        Env env("");
        auto w = freehand(db.connection());
        gridtest::typeAndRun(*w, QStringLiteral("BEGIN"));
        gridtest::typeAndRun(*w, QStringLiteral("INSERT INTO t VALUES (7)"));
        gridtest::typeAndRun(*w, QStringLiteral("SELECT id FROM t"));
        QVERIFY(awaitEnd(w->query()));
        QCOMPARE(column(w->query(), 0), QStringList{"7"});
        QCOMPARE(db.readBack("SELECT count(*) FROM t"), std::string("0"));
        gridtest::typeAndRun(*w, QStringLiteral("ROLLBACK"));
    }

    // A statement the server stops mid-read ends the read with the server's
    // message; the rows read before stay, and the counter says it stopped.
    void failedStatementEndsWithItsMessage() {
        if (!pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        EngineDb db(QStringLiteral("postgres"), "CREATE TABLE x (id INT)");
        Env env("");
        auto w = freehand(db.connection());
        gridtest::typeAndRun(
            *w, QStringLiteral("SELECT 1/(g-600000) FROM generate_series(1,1000000) g"));
        QVERIFY(w->query().reading());
        QVERIFY(awaitEnd(w->query()));
        const QStringList shown = env.dialogs.texts();
        QVERIFY2(shown.size() == 1 && shown.front().contains(QStringLiteral("division by zero")),
                 qPrintable(shown.join('\n')));
        QCOMPARE(w->query().recordCount(), 599999);
        QCOMPARE(w->master().lblRecNo->text(),
                 QStringLiteral("Record 1 / 599999 (reading stopped)"));
    }
};

QTEST_MAIN(TestStepStatements)
#include "tst_stepstatements.moc"
