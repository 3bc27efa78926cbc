// Posts that meet what a plain write gets wrong: columns that hide SQLite's
// row number, exact decimals, a row another session holds locked and a column
// renamed since the rows were read. Every outcome is read back through a
// second connection.
#include "tests/support/EngineDb.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"

#include <QElapsedTimer>

#include <QTemporaryDir>
#include <QtTest>
#include <optional>

using namespace vdata;

namespace {

using testdb::errorOf;

using testdb::failureOf;

using Db = enginetest::EngineDb;
using enginetest::engines;

} // namespace

class TestPostFaults : public QObject {
    Q_OBJECT
private slots:
    void columnsNamedLikeTheRowNumber_data();
    void columnsNamedLikeTheRowNumber();
    void decimalsReachTheEngineExactly_data();
    void decimalsReachTheEngineExactly();
    void renamedColumnIsNamed_data() { engines(false); } // RENAME COLUMN
    void renamedColumnIsNamed();
    void lockedRowFailsSoonAndWritesNothing();
};

void TestPostFaults::columnsNamedLikeTheRowNumber_data() {
    QTest::addColumn<std::string>("columns");
    QTest::addColumn<std::string>("alike"); // the values both rows hold before their name
    QTest::addColumn<bool>("writable");
    QTest::newRow("rowid") << std::string("rowid TEXT, name TEXT") << std::string("'a',") << true;
    QTest::newRow("rowid, _rowid_")
        << std::string("rowid TEXT, _rowid_ TEXT, name TEXT") << std::string("'a', 'a',") << true;
    QTest::newRow("all three and a key")
        << std::string("rowid TEXT, _rowid_ TEXT, oid TEXT, name TEXT PRIMARY KEY")
        << std::string("'a', 'a', 'a',") << true;
    QTest::newRow("all three") << std::string("rowid TEXT, _rowid_ TEXT, oid TEXT, name TEXT")
                               << std::string("'a', 'a', 'a',") << false;
}

// Two rows alike in their columns called rowid: an edit or a delete touches
// the one row it was made on.
void TestPostFaults::columnsNamedLikeTheRowNumber() {
    QFETCH(std::string, columns);
    QFETCH(std::string, alike);
    QFETCH(bool, writable);
    Db db("sqlite", "CREATE TABLE t(" + columns + "); INSERT INTO t VALUES (" + alike + "'x'), (" +
                        alike + "'y');");
    auto q = db.open("SELECT * FROM t");
    QCOMPARE(q->canModify(), writable);
    if (!writable) {
        QVERIFY(q->readOnlyReason().find("rowid, _rowid_ and oid") != std::string::npos);
        QVERIFY_THROWS_EXCEPTION(DataError, q->edit());
        return;
    }
    q->fieldByName("name").setAsString("new");
    q->post();
    QCOMPARE(db.readBack("SELECT group_concat(name, '+') FROM (SELECT name FROM t ORDER BY name)"),
             std::string("new+y"));
    q->remove();
    QCOMPARE(db.readBack("SELECT group_concat(name, '+') FROM t"), std::string("y"));
}

void TestPostFaults::decimalsReachTheEngineExactly_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::string>("stored"); // as the engine holds it; empty when refused
    const auto row = [](const char* engine, const char* typed, const char* stored) {
        QTest::addRow("%s %s", engine, typed)
            << QString(engine) << QString(typed) << std::string(stored);
    };
    row("sqlite", "12345678901234567", "12345678901234567");
    row("sqlite", "-1.5e3", "-1500");
    row("sqlite", "0.25", "0.25");
    row("sqlite", "1,5", "");
    if (pgtest::testServer()) {
        row("postgres", "98765432109876543.2109876543", "98765432109876543.2109876543");
        row("postgres", "+.5", "0.5000000000");
        row("postgres", "1E-10", "0.0000000001");
        row("postgres", "12e", "");
    }
}

// A typed decimal is written digit for digit, shown as the engine keeps it
// and sorted by its value among the others.
void TestPostFaults::decimalsReachTheEngineExactly() {
    QFETCH(QString, engine);
    QFETCH(QString, typed);
    QFETCH(std::string, stored);
    const bool sqlite = engine == QLatin1String("sqlite");
    Db db(engine, std::string("CREATE TABLE d (id INT PRIMARY KEY, v ") +
                      (sqlite ? "DECIMAL(30,10)" : "numeric(30,10)") +
                      ");"
                      "INSERT INTO d VALUES (1, 2), (2, 10), (3, NULL);");
    auto q = db.open("SELECT id, v FROM d ORDER BY id");
    q->moveTo(2);
    if (stored.empty()) {
        QVERIFY(errorOf([&] {
                    q->fieldByName("v").setAsString(typed.toStdString());
                }).find("is not a valid number for field v") != std::string::npos);
        QCOMPARE(db.readBack("SELECT count(*) FROM d WHERE v IS NULL"), std::string("1"));
        return;
    }
    q->fieldByName("v").setAsString(typed.toStdString());
    q->post();
    QCOMPARE(db.readBack("SELECT v FROM d WHERE id = 3"), stored);
    QCOMPARE(q->fieldByName("v").asString(), stored);
    q->setSort("v");
    std::string order;
    for (int r = 0; r < 3; ++r) {
        order += q->cellText(r, 0);
    }
    const bool below2 = typed.startsWith('-') || stored.starts_with("0.");
    QCOMPARE(order, std::string(below2 ? "312" : "123"));
}

// Another process renamed a column after the rows were read: the post says
// which column is gone, and nothing is written.
void TestPostFaults::renamedColumnIsNamed() {
    QFETCH(QString, engine);
    Db db(engine, R"(CREATE TABLE "Items" ("ID" INT PRIMARY KEY, "Qty" INT, "Name" TEXT);
                     INSERT INTO "Items" VALUES (1, 5, 'bolt'), (2, 6, 'nut');)");
    auto q = db.open("SELECT * FROM [Items] ORDER BY [ID]");
    db.otherRuns("ALTER TABLE [Items] RENAME COLUMN [Qty] TO [Amount]");
    const std::string gone = "Column Qty no longer exists in table Items; it was renamed or "
                             "dropped since the rows were read. Refresh to see the table as it is "
                             "now.";
    q->fieldByName("Qty").setAsString("7"); // the renamed column itself
    QCOMPARE(errorOf([&] { q->post(); }), gone);
    QCOMPARE(q->fieldByName("Qty").asString(), std::string("7"));
    q->cancel();
    q->fieldByName("Name").setAsString("screw"); // another column of the same row
    QCOMPARE(errorOf([&] { q->post(); }), gone);
    q->cancel();
    q->append();
    q->fieldByName("ID").setAsString("3");
    QCOMPARE(errorOf([&] { q->post(); }), gone);
    q->cancel();
    QCOMPARE(db.readBack("SELECT count(*) FROM [Items] WHERE [Amount] = 5 AND [Name] = 'bolt' "
                         "OR [ID] = 3"),
             std::string("1"));
    q->moveTo(1);
    q->remove(); // found by its key, which is still there
    QCOMPARE(db.readBack("SELECT count(*) FROM [Items]"), std::string("1"));
}

// A row another session holds locked: the post gives up within seconds with
// a message that says so, writes nothing and keeps the typed value; once the
// lock is gone the same post goes through.
void TestPostFaults::lockedRowFailsSoonAndWritesNothing() {
    if (!pgtest::testServer()) {
        QSKIP(pgtest::noServerMessage);
    }
    Db db("postgres", "CREATE TABLE stock (id int PRIMARY KEY, qty int);"
                      "INSERT INTO stock VALUES (1, 5);");
    Connection holder;
    holder.setConnectionString(db.connectionString());
    holder.open();
    Command lock(&holder);
    // The holder lets go by itself after a while, so that a post that would
    // wait for it cannot hang this test.
    lock.setCommandText("SET idle_in_transaction_session_timeout = '15s'; BEGIN; "
                        "SELECT * FROM stock WHERE id = 1 FOR UPDATE");
    lock.execute();

    auto q = db.open("SELECT * FROM stock");
    q->fieldByName("qty").setAsString("9");
    QElapsedTimer waited;
    waited.start();
    const std::optional<DataError> refused = failureOf([&] { q->post(); });
    QVERIFY2(waited.elapsed() < 10000, std::to_string(waited.elapsed()).c_str());
    QVERIFY(refused);
    const std::string error = refused->what();
    QVERIFY2(error.starts_with("The row is locked by another session; nothing was written."),
             error.c_str());
    QCOMPARE(refused->kind(), ErrorKind::Conflict);
    QCOMPARE(refused->nativeCode(), std::string("55P03")); // lock_not_available
    QCOMPARE(q->state(), DataSetState::Edit);
    QCOMPARE(q->fieldByName("qty").asString(), std::string("9"));

    Command release(&holder);
    release.setCommandText("ROLLBACK");
    release.execute();
    QCOMPARE(db.readBack("SELECT qty FROM stock"), std::string("5"));
    q->post();
    QCOMPARE(db.readBack("SELECT qty FROM stock"), std::string("9"));
}

QTEST_APPLESS_MAIN(TestPostFaults)
#include "tst_postfaults.moc"
