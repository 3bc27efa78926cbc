// A table with a primary key opened through an ODBC driver shows its first
// rows while the rest are read by ranges of the key: edits saved during the
// read reach the table and are not read a second time, every row comes once
// in key order, and a table changed during the read stops it.

#include "tests/support/EngineDb.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"

#include <QElapsedTimer>
#include <QTest>

#include <set>
#include <sstream>

using namespace wintest;
using enginetest::EngineDb;

namespace {

constexpr int bigRows = 100000;

// The drivers' rows of enginetest::engines().
void odbcEngines() {
    QTest::addColumn<QString>("engine");
    if (mariadbtest::testServer()) {
        QTest::newRow("odbc-mariadb") << QStringLiteral("odbc-mariadb");
    }
    if (pgtest::testServer()) {
        QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres");
    }
    QTest::newRow("odbc-sqlite") << QStringLiteral("odbc-sqlite");
}

// "INSERT INTO `table` WITH ... SELECT `select` FROM c" for i = 1 .. `rows`,
// in SQL all three servers read (MariaDB recurses a thousand times at most).
std::string insertNumbered(const std::string& table, const std::string& select, int rows) {
    return "INSERT INTO " + table +
           " WITH RECURSIVE d(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM d WHERE i < 999),"
           " c(i) AS (SELECT a.i * 1000 + b.i + 1 FROM d a, d b WHERE a.i * 1000 < " +
           std::to_string(rows) + ") SELECT " + select +
           " FROM c WHERE i <= " + std::to_string(rows);
}

// Table `big` (id, h): `rows` rows, h holding the id as text.
std::string bigTable(int rows) {
    return "CREATE TABLE big (id INT PRIMARY KEY, h VARCHAR(20)); " +
           insertNumbered("big", "i, CAST(i AS CHAR(10))", rows);
}

std::unique_ptr<DataWindow> tableWindow(vdata::Connection& connection, const QString& table) {
    auto w = std::make_unique<DataWindow>(connection, DataWindow::Use::Table);
    w->setUp(table);
    return w;
}

// As a user waits for the counter: every row read.
void awaitEnd(DataWindow& w) {
    QElapsedTimer waited;
    waited.start();
    while (w.query().reading() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

// Every row the window holds, cells joined by '|', rows by ';'.
std::string shownRows(const vdata::Query& q) {
    std::string text;
    for (int r = 0; r < q.recordCount(); ++r) {
        for (int c = 0; c < q.fieldCount(); ++c) {
            text += (c ? "|" : "") + q.cellText(r, c);
        }
        text += ";";
    }
    return text;
}

// The rows of shownRows' or EngineDb::readRows' text, in no order.
std::multiset<std::string> rowSet(const std::string& rows) {
    std::multiset<std::string> set;
    std::istringstream in(rows);
    for (std::string row; std::getline(in, row, ';');) {
        set.insert(row);
    }
    return set;
}

} // namespace

class TestStepReadOdbc : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnConnectionWarnings(); }

    void editsDuringTheReadAreKept_data() { odbcEngines(); }
    // While the read runs, a value typed over, a key typed over to one the
    // read is still to come to (Return each) and a row added there (Ctrl+S)
    // are saved at once; when the read ends the window holds every row of
    // the table once, as saved.
    void editsDuringTheReadAreKept() {
        QFETCH(QString, engine);
        const std::string ahead = std::to_string(2 * bigRows - 1);
        const std::string added = std::to_string(bigRows + 1);
        EngineDb db(engine, "CREATE TABLE big (id INT PRIMARY KEY, h VARCHAR(20)); " +
                                insertNumbered("big", "i * 2, CAST(i AS CHAR(10))", bigRows));
        Env env("");
        auto w = tableWindow(db.connection(), QStringLiteral("big"));
        QVERIFY(w->query().reading());
        gridtest::Driver d(w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("saved here"));
        d.key(Qt::Key_Return);
        d.typeOver(2, 0, tk::qs(ahead));
        d.key(Qt::Key_Return);
        d.click(0, 0);
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Insert);
        d.typeOver(0, 0, tk::qs(added));
        d.key(Qt::Key_Tab);
        d.type(QStringLiteral("added"));
        d.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(db.readRows("SELECT * FROM big WHERE id IN (2, 6, " + ahead + ", " + added +
                             ") ORDER BY id"),
                 "2|saved here;" + added + "|added;" + ahead + "|3;");
        QVERIFY(w->query().reading());

        awaitEnd(*w);
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(w->query().recordCount(), bigRows + 1);
        QVERIFY(rowSet(shownRows(w->query())) == rowSet(db.readRows("SELECT * FROM big")));
    }

    void compositeKeyComesInKeyOrder_data() { odbcEngines(); }
    // A key of a number and a text: the rows come once each, in the order
    // the server gives them ("10" before "9").
    void compositeKeyComesInKeyOrder() {
        QFETCH(QString, engine);
        EngineDb db(engine, "CREATE TABLE pair (g INT, name VARCHAR(10), v INT, PRIMARY KEY "
                            "(g, name)); " +
                                insertNumbered("pair", "i % 3, CAST(i AS CHAR(10)), i", 5000));
        Env env("");
        auto w = tableWindow(db.connection(), QStringLiteral("pair"));
        QVERIFY(w->query().reading());
        awaitEnd(*w);
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(shownRows(w->query()), db.readRows("SELECT * FROM pair ORDER BY g, name"));
    }

    void columnAddedStopsTheRead_data() { odbcEngines(); }
    // Another program adds a column during the read: the read stops with
    // the reason, and the rows read keep their cells in their columns.
    void columnAddedStopsTheRead() {
        QFETCH(QString, engine);
        EngineDb db(engine, bigTable(bigRows));
        Env env("");
        auto w = tableWindow(db.connection(), QStringLiteral("big"));
        QVERIFY(w->query().reading());
        db.otherRuns("ALTER TABLE big ADD extra VARCHAR(10) DEFAULT 'EXTRA'");
        awaitEnd(*w);
        QCOMPARE(env.dialogs.texts(), QStringList(QString::fromUtf8(vdata::tableChangedWhileRead)));
        const int kept = w->query().recordCount();
        QVERIFY(kept >= int(vdata::Query::firstRows) && kept < bigRows);
        QCOMPARE(w->query().fieldCount(), 2);
        QCOMPARE(w->query().cellText(kept - 1, 0), std::to_string(kept));
        QCOMPARE(w->query().cellText(kept - 1, 1), std::to_string(kept));
    }
};

QTEST_MAIN(TestStepReadOdbc)
#include "tst_stepread_odbc.moc"
