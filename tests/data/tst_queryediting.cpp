#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "tests/support/TestDb.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vdata;

// Editing a query writes to the table; a refused write keeps what was typed.
class TestQueryEditing : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path;
    Connection db;
    Connection other; // someone else working on the same file

    int countWhere(const std::string& where) {
        Query q(&other);
        q.setSQL("SELECT count(*) FROM people WHERE " + where);
        q.open();
        return static_cast<int>(q.field(0).value().i);
    }

private slots:
    void init() {
        path = dir.filePath(
            QString("edit%1 %2.db").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        testdb::run(path,
                    "CREATE TABLE people(id INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                    " age INT CHECK (age >= 0), city TEXT DEFAULT 'Split');"
                    "INSERT INTO people(name, age) VALUES ('Ana', 30), ('Bo', 40), ('Cy', 50);"
                    "CREATE TABLE nokey(a TEXT, b INT);"
                    "INSERT INTO nokey VALUES ('x', 1), ('x', 1), ('y', 2);"
                    "CREATE TABLE wr(k TEXT PRIMARY KEY, v INT) WITHOUT ROWID;"
                    "INSERT INTO wr VALUES ('a', 1);");
        db.setConnectionString(testdb::jetString(path));
        db.open();
        other.setConnectionString(testdb::jetString(path));
        other.open();
    }
    void cleanup() {
        db.close();
        other.close();
    }

    void editPostsAndReadsBack() {
        Query q(&db);
        q.setSQL("SELECT * FROM [people]");
        q.open();
        QCOMPARE(q.recNo(), 1);
        QCOMPARE(q.recordCount(), 3);
        q.next();
        q.fieldByName("age").setAsString("41"); // a browsing query goes into edit
        QCOMPARE(q.state(), DataSetState::Edit);
        q.post();
        QCOMPARE(q.state(), DataSetState::Browse);
        QCOMPARE(countWhere("name = 'Bo' AND age = 41"), 1);
        QCOMPARE(q.cellText(1, 2), std::string("41"));
    }

    void insertReadsBackDefaultsAndKeys() {
        Query q(&db);
        q.setSQL("SELECT * FROM people");
        q.open();
        q.last();
        // The record counter hears of the new record and of its posting.
        std::vector<std::pair<int, int>> counter;
        q.afterScroll = [&](Query& s) { counter.emplace_back(s.recNo(), s.recordCount()); };
        q.append();
        QCOMPARE(q.recNo(), -1);
        QCOMPARE(q.displayRowCount(), 4);
        q.fieldByName("name").setAsString("Dee");
        q.post();
        QCOMPARE(q.recordCount(), 4);
        QCOMPARE(q.recNo(), 4);
        QCOMPARE(counter, (std::vector<std::pair<int, int>>{{-1, 3}, {4, 4}}));
        QCOMPARE(q.fieldByName("id").value().i, 4);
        QCOMPARE(q.fieldByName("city").asString(), std::string("Split")); // the table's default
        QCOMPARE(countWhere("name = 'Dee'"), 1);
    }

    void foreignKeysAreEnforced_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("plain file") << QString();
        QTest::newRow("password-protected file") << QString("k3y");
    }

    // A delete that would leave order lines pointing at nothing is refused
    // with the engine's message and the table that still refers to the
    // order, and the order is still there.
    void foreignKeysAreEnforced() {
        QFETCH(QString, password);
        const QString file = dir.filePath(QString("keys %1.db").arg(QTest::currentDataTag()));
        const std::string script =
            "CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT);"
            "CREATE TABLE lines(id INTEGER PRIMARY KEY, order_id INT REFERENCES orders(id),"
            " item TEXT);"
            "INSERT INTO orders VALUES (1, 'Ana'), (2, 'Bo');"
            "INSERT INTO lines(order_id, item) VALUES (1, 'pen'), (1, 'ink');";
        const std::string key = password.toStdString();
        key.empty() ? testdb::run(file, script) : testdb::runEncrypted(file, key, script);
        Connection mine;
        mine.setConnectionString(testdb::jetString(file, key));
        mine.open();
        Query q(&mine);
        q.setSQL("SELECT * FROM orders ORDER BY id");
        q.open();
        try {
            q.remove();
            QFAIL("deleting an order that has lines must fail");
        } catch (const DataError& e) {
            QCOMPARE(std::string(e.what()),
                     std::string("FOREIGN KEY constraint failed.\n"
                                 "The row is still referred to by lines (order_id)."));
        }
        QCOMPARE(q.recordCount(), 2);
        q.next();
        q.remove(); // an order without lines goes
        Connection theirs;
        theirs.setConnectionString(testdb::jetString(file, key));
        theirs.open();
        Query check(&theirs);
        check.setSQL("SELECT group_concat(customer) FROM orders");
        check.open();
        QCOMPARE(check.field(0).asString(), std::string("Ana"));
    }

    void rowsWithoutKeyAreFoundByTheirValues() {
        Query q(&db);
        q.setSQL("SELECT a, b FROM nokey");
        q.open();
        QVERIFY(q.canModify());
        q.remove(); // two identical rows: only one goes
        QCOMPARE(q.recordCount(), 2);
        Query twins(&other);
        twins.setSQL("SELECT count(*) FROM nokey WHERE a = 'x'");
        twins.open();
        QCOMPARE(twins.field(0).value().i, 1);
        q.last();
        q.fieldByName("b").setAsString("3");
        q.post();
        Query check(&other);
        check.setSQL("SELECT b FROM nokey WHERE a = 'y'");
        check.open();
        QCOMPARE(check.field(0).value().i, 3);
        // Someone else changes the row: the next edit notices.
        Command cmd(&other);
        cmd.setCommandText("UPDATE nokey SET b = 7 WHERE a = 'y'");
        cmd.execute();
        q.fieldByName("b").setAsString("4");
        QVERIFY_THROWS_EXCEPTION(DataError, q.post());
    }

    void joinedResultsAreReadOnly() {
        Query q(&db);
        q.setSQL("SELECT p.name, n.a FROM people p, nokey n");
        q.open();
        QVERIFY(!q.canModify());
        QVERIFY_THROWS_EXCEPTION(DataError, q.edit());
        QVERIFY_THROWS_EXCEPTION(DataError, q.insert());

        // A self-join reads one table twice: a row would mix two rows.
        Query self(&db);
        self.setSQL("SELECT a.id, b.name FROM people a JOIN people b ON b.id = a.id + 1");
        self.open();
        QVERIFY(!self.canModify());
        Command view(&db);
        view.setCommandText("CREATE VIEW older AS SELECT * FROM people WHERE age > 35");
        view.execute();
        Query viewed(&db);
        viewed.setSQL("SELECT * FROM older");
        viewed.open();
        QVERIFY(!viewed.canModify());

        Query keyless(&db); // a WITHOUT ROWID table read without its key
        keyless.setSQL("SELECT v FROM wr");
        keyless.open();
        QVERIFY(!keyless.canModify());
        Query keyed(&db);
        keyed.setSQL("SELECT * FROM wr");
        keyed.open();
        keyed.fieldByName("v").setAsString("2");
        keyed.post();
        QCOMPARE(keyed.fieldByName("v").value().i, 2);
    }

    void requeryPostsPendingEditAndSeesOthersRows() {
        Query q(&db);
        q.setSQL("SELECT * FROM people");
        int scrolls = 0;
        q.afterScroll = [&](Query&) { ++scrolls; };
        q.open();
        QCOMPARE(scrolls, 1);
        q.last();
        q.fieldByName("name").setAsString("Cyril");
        Command add(&other);
        add.setCommandText("INSERT INTO people(name, age) VALUES ('Eve', 20)");
        add.execute();
        q.requery();
        QCOMPARE(q.recordCount(), 4);
        QCOMPARE(q.recNo(), 1);
        QCOMPARE(scrolls, 3);
        QCOMPARE(countWhere("name = 'Cyril'"), 1);
        q.moveTo(2);
        q.refresh(); // keeps the position and does not scroll
        QCOMPARE(q.recNo(), 3);
        QCOMPARE(scrolls, 4);
    }
};

QTEST_APPLESS_MAIN(TestQueryEditing)
#include "tst_queryediting.moc"
