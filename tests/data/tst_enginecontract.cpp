// What every engine the program writes to must do alike, one test body with
// a row per engine: edits written and read back, writes refused without
// losing what was typed (a row changed or deleted meanwhile, a constraint),
// the master link's bound parameters and the declared foreign keys. Every
// outcome is read back through a second connection.
#include "tests/support/AccessTestData.h"
#include "tests/support/EngineDb.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/DataSource.h"
#include "data/service/Dialect.h"
#include "data/service/Errors.h"
#include "data/service/Progress.h"
#include "data/service/Query.h"

#include <QElapsedTimer>
#include <QtTest>
#include <algorithm>
#include <span>
#include <tuple>

using namespace vdata;
using enginetest::EngineDb;
using testdb::failureOf;

namespace {

const char* const schema = R"(
    CREATE TABLE customers (id {autokey}, name VARCHAR(40) NOT NULL, joined DATE,
                            age INT CHECK (age >= 0), photo {blob}, city VARCHAR(20) DEFAULT 'Split');
    CREATE TABLE orders (no {autokey}, id INT REFERENCES customers (id), item VARCHAR(20),
                         amount NUMERIC(10,2) DEFAULT 0);
    CREATE TABLE pairs (a INT, b INT, v VARCHAR(10), PRIMARY KEY (a, b));
    CREATE TABLE "Order Lines" (line INT PRIMARY KEY, item VARCHAR(10));
    CREATE TABLE log (message VARCHAR(40));
    CREATE TABLE vals (id INT PRIMARY KEY, big BIGINT, price NUMERIC(30,10), note VARCHAR(20),
                       memo TEXT);
    INSERT INTO vals (id) VALUES (1), (2);
    INSERT INTO customers (name, joined, age) VALUES ('Zoe', '2021-03-04', 30),
        ('adam', '2020-01-02', 40), ('Ann', '2022-05-06', 50);
    INSERT INTO orders (id, item, amount) VALUES (1, 'pen', 1.5), (1, 'ink', 3), (2, 'pad', 2.25);
    INSERT INTO pairs VALUES (1, 1, 'a'), (1, 2, 'b');
    INSERT INTO "Order Lines" VALUES (1, 'bolt'), (2, 'nut'), (3, 'washer');
    INSERT INTO log VALUES ('started');
)";

// Keys of two columns, given in another order than the table's, and a
// second key to a table that already has one referring to it. (ODBC lists a
// table's keys by referenced table, not as declared: here both agree.)
const char* const keySchema = R"(
    CREATE TABLE pair_notes (pb INT, pa INT, customer INT, note VARCHAR(10),
                             FOREIGN KEY (customer) REFERENCES customers (id),
                             FOREIGN KEY (pa, pb) REFERENCES pairs (a, b));
)";

// The keys of a table, and those referencing it, as the test reads them:
// "table(columns)>referenced(columns)", joined by ';'.
struct KeyCase {
    const char* table;
    const char* keysOf;
    const char* keysTo;
};

const KeyCase schemaKeys[] = {
    {"orders", "orders(id)>customers(id)", ""},
    {"customers", "", "orders(id)>customers(id);pair_notes(customer)>customers(id)"},
    {"pair_notes", "pair_notes(customer)>customers(id);pair_notes(pa,pb)>pairs(a,b)", ""},
    {"pairs", "", "pair_notes(pa,pb)>pairs(a,b)"},
    {"log", "", ""},
};

const KeyCase nwindKeys[] = {
    {"Orders",
     "Orders(CustomerID)>Customers(CustomerID);Orders(EmployeeID)>Employees(EmployeeID);"
     "Orders(ShipVia)>Shippers(ShipperID)",
     "Order Details(OrderID)>Orders(OrderID)"},
    {"customers", "", "Orders(CustomerID)>Customers(CustomerID)"},
    {"Shippers", "", "Orders(ShipVia)>Shippers(ShipperID)"},
    {"Umsätze", "", ""},
};

QString described(const std::vector<ForeignKey>& keys) {
    const auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) {
            text += (text.empty() ? "" : ",") + name;
        }
        return text;
    };
    std::string text;
    for (const ForeignKey& key : keys) {
        text += (text.empty() ? "" : ";") + key.table + "(" + joined(key.columns) + ")>" +
                key.referencedTable + "(" + joined(key.referencedColumns) + ")";
    }
    return QString::fromStdString(text);
}

// The conflict a write meets when its row is no longer as it was read.
void expectConflict(const std::function<void()>& write) {
    const std::optional<DataError> refused = failureOf(write);
    QVERIFY(refused);
    QVERIFY2(std::string(refused->what()).find("changed or deleted by another user") !=
                 std::string::npos,
             refused->what());
    QCOMPARE(refused->kind(), ErrorKind::Conflict);
}

} // namespace

class TestEngineContract : public QObject {
    Q_OBJECT
private slots:
    void editsAreWrittenAndReadBack_data() { enginetest::engines(); }
    void editsAreWrittenAndReadBack();
    void refusedWritesKeepTheEdit_data() { enginetest::engines(); }
    void refusedWritesKeepTheEdit();
    void valuesAreWrittenExactly_data() { enginetest::engines(); }
    void valuesAreWrittenExactly();
    void requeryAfterOpenSeesEveryChange_data() { enginetest::engines(); }
    void requeryAfterOpenSeesEveryChange();
    void cancelStopsTheStatement_data() { enginetest::engines(); }
    void cancelStopsTheStatement();
    void odbcKeysRowsByAUniqueIndex_data();
    void odbcKeysRowsByAUniqueIndex();
    void lockedRowEndsTheWait_data();
    void lockedRowEndsTheWait();
    void masterLinkBindsParameters_data() { enginetest::engines(); }
    void masterLinkBindsParameters();
    void declaredKeysAreRead_data();
    void declaredKeysAreRead();
    void catalogueAgreesWithTheTableCalls_data() { declaredKeysAreRead_data(); }
    void catalogueAgreesWithTheTableCalls();
    void namesThatNeedQuotingAreWrittenBack_data() { enginetest::engines(); }
    void namesThatNeedQuotingAreWrittenBack();
};

void TestEngineContract::editsAreWrittenAndReadBack() {
    QFETCH(QString, engine);
    EngineDb db(engine, schema);
    auto q = db.open("SELECT * FROM [customers] WHERE id = 2");
    q->edit();
    q->fieldByName("name").setAsString("Adam \"O'Neil\"");
    q->fieldByName("joined").setAsString("2020-12-31");
    q->fieldByName("age").setAsString("41");
    q->setCurrentValue(4, Value::blob(std::string("\0\x01\xfe", 3))); // bytes with a NUL
    q->post();
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(db.readRows("SELECT name, joined, age FROM customers WHERE id = 2"),
             std::string("Adam \"O'Neil\"|2020-12-31|41;"));
    QCOMPARE(db.readBack("SELECT count(*) FROM customers WHERE photo IS NOT NULL"), "1");

    // A column under another name is written to the column it comes from.
    // SQLite's ODBC driver gives an aliased column's alias as its base
    // column name, so the column it comes from cannot be known there.
    if (engine != QLatin1String("odbc-sqlite")) {
        auto alias = db.open("SELECT c.id, c.name AS who FROM customers c WHERE c.id = 3");
        alias->fieldByName("who").setAsString("Annie");
        alias->post();
        QCOMPARE(db.readBack("SELECT name FROM customers WHERE id = 3"), "Annie");
    }

    // A composite key, one part of it changed, then a delete by it.
    auto pairs = db.open("SELECT * FROM pairs ORDER BY a, b");
    pairs->last();
    pairs->fieldByName("b").setAsString("5");
    pairs->fieldByName("v").setAsString("moved");
    pairs->post();
    QCOMPARE(db.readRows("SELECT a, b, v FROM pairs ORDER BY a, b"),
             std::string("1|1|a;1|5|moved;"));
    pairs->first();
    pairs->remove();
    QCOMPARE(pairs->recordCount(), 1);
    QCOMPARE(db.readRows("SELECT b FROM pairs"), std::string("5;"));

    // A new row shows its generated key and the column defaults at once.
    auto all = db.open("SELECT * FROM customers ORDER BY id");
    all->append();
    all->fieldByName("name").setAsString("New one");
    all->post();
    QCOMPARE(all->recordCount(), 4);
    QCOMPARE(all->fieldByName("id").asString(),
             db.readBack("SELECT id FROM customers WHERE name = 'New one'"));
    QCOMPARE(all->fieldByName("city").asString(), std::string("Split"));
}

// Values that a double or an 8-bit text path would change, and NULL apart
// from empty text, written and read back by a second connection and in the
// row the write read back.
void TestEngineContract::valuesAreWrittenExactly() {
    QFETCH(QString, engine);
    EngineDb db(engine, schema);
    // A SQLite file keeps a NUMERIC value to 15 significant digits.
    const bool sqliteFile = engine.contains(QLatin1String("sql")); // sqlite, sqlcipher, odbc-sqlite
    const std::string price = sqliteFile ? "12345.6789" : "98765432109876543.2109876543";
    const std::string note = "Čačak, Zoë 😀";
    auto q = db.open("SELECT * FROM vals ORDER BY id");
    q->fieldByName("big").setAsString("9007199254740993"); // 2^53 + 1
    q->fieldByName("price").setAsString(price);
    q->fieldByName("note").setAsString(note);
    // Longer than any buffer a driver reads a cell into at once.
    const std::string memo = std::string(30000, 'a') + note + std::string(30000, 'b');
    q->fieldByName("memo").setAsString(memo);
    q->post();
    q->next();
    q->setCurrentValue(3, Value::text(""));
    q->post();
    const std::string expected = "9007199254740993|" + price + "|" + note + ";";
    QCOMPARE(db.readRows("SELECT big, price, note FROM vals WHERE id = 1"), expected);
    QCOMPARE(db.readRows("SELECT count(*) FROM vals WHERE note = ''"), std::string("1;"));
    QVERIFY(db.readBack("SELECT memo FROM vals WHERE id = 1") == memo);
    QCOMPARE(db.readRows("SELECT count(*) FROM vals WHERE price IS NULL"), std::string("1;"));
    q->first();
    // Typing the value a cell already holds changes no row, yet is no conflict.
    q->fieldByName("big").setAsString("9007199254740993");
    q->post();
    QCOMPARE(q->fieldByName("big").asString() + "|" + q->fieldByName("price").asString() + "|" +
                 q->fieldByName("note").asString() + ";",
             expected);
}

void TestEngineContract::refusedWritesKeepTheEdit() {
    QFETCH(QString, engine);
    EngineDb db(engine, schema);
    auto q = db.open("SELECT * FROM [customers] ORDER BY id");

    // The row was deleted meanwhile: a delete or a post fails, the typing
    // stays; cancelled, the rows are read again and the row is gone.
    db.otherRuns("DELETE FROM customers WHERE id = 3");
    q->last();
    expectConflict([&] { q->remove(); });
    QCOMPARE(q->recordCount(), 3);
    q->fieldByName("name").setAsString("My typing");
    expectConflict([&] { q->post(); });
    QCOMPARE(q->state(), DataSetState::Edit);
    QCOMPARE(q->fieldByName("name").asString(), std::string("My typing"));
    q->cancel();
    QCOMPARE(q->recordCount(), 2);
    QCOMPARE(db.readBack("SELECT count(*) FROM customers WHERE id = 3"), "0");

    // Another user changed the same column meanwhile: not overwritten. A
    // change to other columns does not stand in the way.
    db.otherRuns("UPDATE customers SET name = 'Theirs' WHERE id = 2");
    q->moveTo(1);
    q->fieldByName("name").setAsString("Mine");
    expectConflict([&] { q->post(); });
    QCOMPARE(q->fieldByName("name").asString(), std::string("Mine"));
    q->cancel();
    QCOMPARE(q->fieldByName("name").asString(), std::string("Theirs"));
    db.otherRuns("UPDATE customers SET city = 'Pula' WHERE id = 2");
    q->fieldByName("age").setAsString("42");
    q->post();
    QCOMPARE(db.readRows("SELECT name, age, city FROM customers WHERE id = 2"),
             std::string("Theirs|42|Pula;"));

    // The same holds for a binary column.
    db.otherRuns("UPDATE customers SET photo = 'ab' WHERE id = 1");
    q->first();
    q->setCurrentValue(4, Value::blob("mine"));
    expectConflict([&] { q->post(); });
    q->cancel();

    // A value the table refuses: the engine's message, the edit stays, nothing
    // is written; corrected, the next post goes through.
    q->fieldByName("age").setAsString("-5");
    q->fieldByName("city").setAsString("Zadar");
    QVERIFY(failureOf([&] { q->post(); }));
    QCOMPARE(q->state(), DataSetState::Edit);
    QCOMPARE(q->fieldByName("age").asString(), std::string("-5"));
    QCOMPARE(db.readBack("SELECT count(*) FROM customers WHERE city = 'Zadar'"), "0");
    q->fieldByName("age").setAsString("31");
    q->post();
    QCOMPARE(db.readBack("SELECT count(*) FROM customers WHERE city = 'Zadar' AND age = 31"), "1");
    q->insert();
    QVERIFY(failureOf([&] { q->post(); })); // name is NOT NULL
    QCOMPARE(q->state(), DataSetState::Insert);
    q->cancel();
    QCOMPARE(q->recordCount(), 2);
}

// The re-query that follows an open may keep the rows the open read, but
// only while nothing has changed: a change made between the two by another
// session, by this one, or to the table's columns, shows.
void TestEngineContract::requeryAfterOpenSeesEveryChange() {
    QFETCH(QString, engine);
    EngineDb db(engine, schema);
    const auto requeried = [&](const std::function<void()>& change) {
        auto q = db.open("SELECT * FROM [Order Lines] ORDER BY line");
        change();
        q->requery();
        std::string shown;
        for (int r = 0; r < q->recordCount(); ++r) {
            for (int c = 0; c < q->fieldCount(); ++c) {
                shown += q->cellText(r, c) + (c + 1 < q->fieldCount() ? "|" : ";");
            }
        }
        return shown;
    };
    QCOMPARE(requeried([] {}), std::string("1|bolt;2|nut;3|washer;"));
    QCOMPARE(
        requeried([&] { db.otherRuns("UPDATE [Order Lines] SET item = 'pin' WHERE line = 1"); }),
        std::string("1|pin;2|nut;3|washer;"));
    Command own(&db.connection());
    own.setCommandText("DELETE FROM [Order Lines] WHERE line = 2");
    QCOMPARE(requeried([&] { own.execute(); }), std::string("1|pin;3|washer;"));
    own.setCommandText("ALTER TABLE [Order Lines] ADD COLUMN qty INT");
    QCOMPARE(requeried([&] { own.execute(); }), std::string("1|pin|;3|washer|;"));
}

// A statement cancelled while the engine computes stops at once, on a
// server too, and the session goes on.
void TestEngineContract::cancelStopsTheStatement() {
    QFETCH(QString, engine);
    EngineDb db(engine, schema);
    QElapsedTimer clock;
    clock.start();
    {
        const ProgressScope stop([&](std::size_t) { return clock.elapsed() < 300; });
        // MariaDB ends a recursion after a thousand steps.
        const std::string slow =
            engine.endsWith(QLatin1String("mariadb"))
                ? "SELECT BENCHMARK(2000000000, MD5('x'))"
                : "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                  "100000000) SELECT count(*) FROM c";
        const std::optional<DataError> refused = failureOf([&] { db.open(slow); });
        QVERIFY(refused);
        QCOMPARE(refused->kind(), ErrorKind::Cancelled);
    }
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(db.open("SELECT count(*) FROM log")->cellText(0, 0), std::string("1"));
}

void TestEngineContract::odbcKeysRowsByAUniqueIndex_data() {
    QTest::addColumn<QString>("engine");
    if (mariadbtest::testServer()) {
        QTest::newRow("odbc-mariadb") << QStringLiteral("odbc-mariadb");
    }
    if (pgtest::testServer()) {
        QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres");
    }
    QTest::newRow("odbc-sqlite") << QStringLiteral("odbc-sqlite");
}

// Through ODBC a table without a primary key is keyed by a unique index,
// and one with neither is read-only and says why.
void TestEngineContract::odbcKeysRowsByAUniqueIndex() {
    QFETCH(QString, engine);
    EngineDb db(engine, std::string(schema) +
                            "CREATE TABLE tags (code VARCHAR(10) NOT NULL UNIQUE, label "
                            "VARCHAR(10)); INSERT INTO tags VALUES ('a', 'x'), ('b', 'x');");
    auto tags = db.open("SELECT * FROM tags ORDER BY code");
    tags->last();
    tags->fieldByName("label").setAsString("y");
    tags->post();
    QCOMPARE(db.readRows("SELECT code, label FROM tags ORDER BY code"), std::string("a|x;b|y;"));
    auto log = db.open("SELECT * FROM log");
    QVERIFY(!log->canModify());
    QVERIFY2(log->readOnlyReason().find("no primary key or unique index") != std::string::npos,
             log->readOnlyReason().c_str());
}

void TestEngineContract::lockedRowEndsTheWait_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<std::string>("begin");
    if (pgtest::testServer()) {
        QTest::newRow("postgres") << QStringLiteral("postgres") << std::string("BEGIN");
        QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres") << std::string("BEGIN");
    }
    if (mariadbtest::testServer()) {
        QTest::newRow("mariadb") << QStringLiteral("mariadb") << std::string("START TRANSACTION");
        QTest::newRow("odbc-mariadb")
            << QStringLiteral("odbc-mariadb") << std::string("START TRANSACTION");
    }
}

// A write to a row another session holds locked ends after a few seconds,
// says why, and keeps the edit.
void TestEngineContract::lockedRowEndsTheWait() {
    QFETCH(QString, engine);
    QFETCH(std::string, begin);
    EngineDb db(engine, schema);
    auto q = db.open("SELECT * FROM customers ORDER BY id");
    Connection holder;
    holder.setConnectionString(db.connectionString());
    holder.open();
    Command lock(&holder);
    for (const std::string& sql :
         {begin, std::string("UPDATE customers SET age = 31 WHERE id = 1")}) {
        lock.setCommandText(sql);
        lock.execute();
    }
    QElapsedTimer clock;
    clock.start();
    q->fieldByName("city").setAsString("Mine");
    const std::optional<DataError> refused = failureOf([&] { q->post(); });
    QVERIFY(refused);
    QVERIFY2(std::string(refused->what()).find("locked by another session") != std::string::npos,
             refused->what());
    QCOMPARE(refused->kind(), ErrorKind::Conflict);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(q->fieldByName("city").asString(), std::string("Mine"));
}

void TestEngineContract::masterLinkBindsParameters() {
    QFETCH(QString, engine);
    EngineDb db(engine, schema);
    const std::string hostile = "O'Brien'); DROP TABLE log; --";
    db.otherRuns("INSERT INTO customers (id, name) VALUES (95, 'O''Brien''); DROP TABLE log; --')");
    auto master = db.open("SELECT * FROM customers WHERE id IN (1, 2, 95) ORDER BY id");
    DataSource source(master.get());
    Query detail(&db.connection());
    detail.setSQL("SELECT * FROM orders\r\nWHERE id = :id ORDER BY no");
    detail.setDataSource(&source);
    QCOMPARE(detail.parameterNames(), std::vector<std::string>{"id"});
    detail.open();
    QCOMPARE(detail.recordCount(), 2);
    master->next();
    QCOMPARE(detail.fieldByName("item").asString(), std::string("pad"));

    // A new detail row takes the master's key.
    detail.append();
    detail.fieldByName("item").setAsString("stapler");
    detail.post();
    QCOMPARE(db.readBack("SELECT id FROM orders WHERE item = 'stapler'"), "2");

    // Values are bound, never pasted into the text.
    Query byName(&db.connection());
    byName.setSQL("SELECT id FROM customers WHERE name = :name");
    byName.setDataSource(&source);
    byName.open();
    master->last();
    QCOMPARE(byName.recordCount(), 1);
    QCOMPARE(byName.field(0).asString(), std::string("95"));
    QCOMPARE(db.readBack("SELECT count(*) FROM log"), "1");
    QCOMPARE(db.readBack("SELECT name FROM customers WHERE id = 95"), hostile);

    // Brackets and TOP reach each engine in its own dialect.
    auto top = db.open("SELECT TOP 2 * FROM [Order Lines] ORDER BY line");
    QCOMPARE(top->recordCount(), 2);
    QCOMPARE(top->cellText(1, 1), std::string("nut"));
    QVERIFY(top->canModify());

    // Several statements in one text run one after the other (SQLite's ODBC
    // driver runs one statement per call only).
    if (engine != QLatin1String("odbc-sqlite")) {
        Command two(&db.connection());
        two.setCommandText("INSERT INTO log VALUES ('a'); INSERT INTO log VALUES ('b')");
        QCOMPARE(two.execute(), 2LL);
        QCOMPARE(db.readBack("SELECT count(*) FROM log"), "3");
    }

    // The catalogue: the databases (at least this one) and the tables,
    // system tables left out.
    QVERIFY(!db.connection().catalogNames().empty());
    std::vector<std::string> tables = db.connection().tableNames();
    std::sort(tables.begin(), tables.end());
    QCOMPARE(tables, (std::vector<std::string>{"Order Lines", "customers", "log", "orders", "pairs",
                                               "vals"}));
}

void TestEngineContract::declaredKeysAreRead_data() {
    enginetest::engines();
    if (AccessTestData::present()) {
        QTest::newRow("access") << QStringLiteral("access");
    }
}

// Each key with its columns in the key's order, both from the table that
// declares it and from the table it references; none for a table without.
void TestEngineContract::declaredKeysAreRead() {
    QFETCH(QString, engine);
    std::unique_ptr<EngineDb> db;
    Connection access;
    Connection* conn = &access;
    std::span<const KeyCase> cases = schemaKeys;
    if (engine == QLatin1String("access")) {
        access.setConnectionString(testdb::jetString(AccessTestData::file("nwind.mdb")));
        cases = nwindKeys;
    } else {
        db = std::make_unique<EngineDb>(engine, std::string(schema) + keySchema);
        conn = &db->connection();
    }
    for (const KeyCase& c : cases) {
        QCOMPARE(described(conn->foreignKeysOf(c.table)), QString(c.keysOf));
        QCOMPARE(described(conn->keysReferencing(c.table)), QString(c.keysTo));
    }
    // A table outside the search path is named with its schema.
    if (engine == QLatin1String("postgres")) {
        db->otherRuns("CREATE SCHEMA archive; CREATE TABLE archive.old (cust INT REFERENCES "
                      "customers (id))");
        Connection fresh;
        fresh.setConnectionString(db->connectionString());
        QCOMPARE(described(fresh.keysReferencing("customers")).section(';', -1),
                 QString("archive.old(cust)>customers(id)"));
        QCOMPARE(described(fresh.foreignKeysOf("archive.old")),
                 QString("archive.old(cust)>customers(id)"));
    }
}

// The completion's catalogue, read at once, holds what the table list, an
// empty select per table and each table's keys give (the default reading),
// views and a key that names no referenced columns included.
void TestEngineContract::catalogueAgreesWithTheTableCalls() {
    QFETCH(QString, engine);
    // Through ODBC and on MariaDB the referenced columns are named (MariaDB
    // wants them, and SQLite's driver does not look up the primary key).
    const bool named = engine.startsWith("odbc") || engine == QLatin1String("mariadb");
    const std::string referenced = named ? "customers (id)" : "customers";
    std::unique_ptr<EngineDb> db;
    Connection access;
    if (engine == QLatin1String("access")) {
        access.setConnectionString(testdb::jetString(AccessTestData::file("nwind.mdb")));
        access.open();
    } else {
        db = std::make_unique<EngineDb>(
            engine, std::string(schema) + keySchema +
                        "CREATE TABLE notes_of (cust INT REFERENCES " + referenced + ");" +
                        "CREATE VIEW order_ids AS SELECT id FROM orders;");
    }
    Engine& e = db ? db->connection().engine() : access.engine();
    const SchemaCatalog fast = e.readCatalog();
    const SchemaCatalog slow = e.Engine::readCatalog();
    QCOMPARE(fast.tables.size(), slow.tables.size());
    for (std::size_t i = 0; i < slow.tables.size(); ++i) {
        QCOMPARE(fast.tables[i].name, slow.tables[i].name);
        QCOMPARE(fast.tables[i].columns, slow.tables[i].columns);
    }
    const auto sorted = [](std::vector<ForeignKey> keys) {
        std::sort(keys.begin(), keys.end(), [](const ForeignKey& a, const ForeignKey& b) {
            return std::tie(a.table, a.columns) < std::tie(b.table, b.columns);
        });
        return described(keys);
    };
    QCOMPARE(sorted(fast.keys), sorted(slow.keys));
    QVERIFY(!fast.keys.empty());
    QVERIFY(!db || sorted(fast.keys).contains("notes_of(cust)>customers(id)"));
    QVERIFY(!db || fast.find("ORDER_IDS") != nullptr);
}

// A table and columns whose names hold a blank, a backtick, brackets and a
// double quote: the program's SQL names them in the engine's own quotes.
void TestEngineContract::namesThatNeedQuotingAreWrittenBack() {
    QFETCH(QString, engine);
    EngineDb db(engine,
                R"(CREATE TABLE "Odd `t` [1] ""q""" ("my id" INT PRIMARY KEY, "v]`""" VARCHAR(9));
                   INSERT INTO "Odd `t` [1] ""q""" VALUES (1, 'a'), (2, 'b');)");
    const std::string select =
        "SELECT * FROM " + bracketName("Odd `t` [1] \"q\"") + " ORDER BY [my id]";
    auto q = db.open(select);
    q->last();
    q->fieldByName("v]`\"").setAsString("c");
    q->post();
    q->append();
    q->fieldByName("my id").setAsString("3");
    q->fieldByName("v]`\"").setAsString("n");
    q->post();
    q->first();
    q->remove();
    QCOMPARE(db.readRows(select), std::string("2|c;3|n;"));
}

QTEST_GUILESS_MAIN(TestEngineContract)
#include "tst_enginecontract.moc"
