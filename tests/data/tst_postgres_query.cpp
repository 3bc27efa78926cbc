// Every service operation over the PostgreSQL provider: connection and its
// events, listings, queries with editing, requery, refresh, locate, sort, the
// master link and commands.
#include "PgTestEnv.h"

#include "Command.h"
#include "Connection.h"
#include "DataSource.h"
#include "Errors.h"
#include "Query.h"

#include <QtTest>

using namespace vdata;

namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const DataError& e) {
        return e.what();
    }
    return {};
}

} // namespace

class TestPostgresQuery : public QObject {
    Q_OBJECT

    std::unique_ptr<pgtest::ScratchDatabase> db_;
    std::unique_ptr<Connection> conn_;

private slots:
    void initTestCase();
    void cleanupTestCase();
    void connectionEventsAndListings();
    void tableViewOpensWithTypes();
    void editPostAndReadBack();
    void insertReadsBackKeyAndDefaults();
    void deleteRemovesRow();
    void failedPostKeepsTheEdit();
    void tableWithoutKeyRefusesEdits();
    void requeryAndRefresh();
    void locateAndSort();
    void masterLinkWithParameters();
    void commandCountsRecords();
    void serverLossThenDisconnect();
};

void TestPostgresQuery::initTestCase() {
    if (pgtest::testServer() == nullptr) {
        QSKIP(pgtest::noServerMessage);
    }
    db_ = std::make_unique<pgtest::ScratchDatabase>("query");
    db_->exec(R"(
        CREATE TABLE customers (id serial PRIMARY KEY, name varchar(40) NOT NULL,
                                joined date, vip boolean DEFAULT false);
        CREATE TABLE orders (no serial PRIMARY KEY, id int REFERENCES customers,
                             item text, amount numeric(10,2) DEFAULT 0);
        CREATE TABLE log (at timestamp, message text);
        INSERT INTO customers (name, joined) VALUES ('Zoë', '2021-03-04'), ('adam', '2020-01-02'),
                                                    ('Ann', '2022-05-06');
        INSERT INTO orders (id, item, amount) VALUES (1, 'pen', 1.50), (1, 'ink', 3.00),
                                                     (2, 'pad', 2.25);
        INSERT INTO log VALUES ('2024-01-01 10:00:00', 'started');
    )");
    conn_ = std::make_unique<Connection>();
    conn_->setConnectionString(db_->connectionString());
    conn_->open();
}

void TestPostgresQuery::cleanupTestCase() {
    conn_.reset();
    db_.reset();
}

void TestPostgresQuery::connectionEventsAndListings() {
    Connection c;
    QStringList events;
    c.onConnectComplete = [&](EventStatus s, const std::string&) {
        events << (s == EventStatus::OK ? "ok" : "error");
    };
    c.onBeforeDisconnect = [&] { events << "before"; };
    c.onDisconnect = [&] { events << "after"; };
    c.setConnectionString(pgtest::connectionString(pgtest::socketDataSource(), "no_such_db"));
    QVERIFY(errorOf([&] { c.open(); }).find("does not exist") != std::string::npos);
    QVERIFY(!c.connected());

    c.setConnectionString(db_->connectionString());
    // Listing connects first.
    QCOMPARE(c.tableNames(), (std::vector<std::string>{"customers", "log", "orders"}));
    QVERIFY(c.connected());
    const auto catalogs = c.catalogNames();
    QVERIFY(std::find(catalogs.begin(), catalogs.end(), db_->name()) != catalogs.end());
    c.close();
    QCOMPARE(events, (QStringList{"error", "ok", "before", "after"}));
}

void TestPostgresQuery::tableViewOpensWithTypes() {
    Query q(conn_.get());
    q.setSQL("SELECT * FROM [customers] ORDER BY id");
    int scrolls = 0;
    q.afterScroll = [&](Query&) { ++scrolls; };
    q.open();
    QCOMPARE(scrolls, 1);
    QCOMPARE(q.recordCount(), 3);
    QCOMPARE(q.recNo(), 1);
    QCOMPARE(int(q.fieldByName("id").dataType()), int(FieldType::AutoInc));
    QCOMPARE(int(q.fieldByName("name").dataType()), int(FieldType::WideString));
    QCOMPARE(int(q.fieldByName("joined").dataType()), int(FieldType::Date));
    QCOMPARE(int(q.fieldByName("vip").dataType()), int(FieldType::Boolean));
    QCOMPARE(q.fieldByName("name").asString(), std::string("Zoë"));
    QCOMPARE(q.fieldByName("joined").asString(), std::string("2021-03-04"));
    QVERIFY(q.canModify());

    Query top(conn_.get());
    top.setSQL("SELECT TOP 2 name FROM [customers] ORDER BY id DESC");
    top.open();
    QCOMPARE(top.recordCount(), 2);
    QCOMPARE(top.field(0).asString(), std::string("Ann"));
}

void TestPostgresQuery::editPostAndReadBack() {
    Query q(conn_.get());
    q.setSQL("SELECT * FROM [customers] WHERE id = 2");
    q.open();
    q.edit();
    q.fieldByName("name").setAsString("Adam O'Neil");
    q.fieldByName("joined").setAsString("2020-12-31");
    q.fieldByName("vip").setAsString("yes");
    q.post();
    QCOMPARE(int(q.state()), int(DataSetState::Browse));
    QCOMPARE(db_->query("SELECT name, joined, vip FROM customers WHERE id = 2")[0],
             (std::vector<std::string>{"Adam O'Neil", "2020-12-31", "t"}));
    QCOMPARE(q.fieldByName("vip").value(), Value::integer(1));
    QCOMPARE(q.fieldByName("name").asString(), std::string("Adam O'Neil"));
}

void TestPostgresQuery::insertReadsBackKeyAndDefaults() {
    Query q(conn_.get());
    q.setSQL("SELECT * FROM [customers] ORDER BY id");
    q.open();
    q.append();
    q.fieldByName("name").setAsString("New one");
    q.post();
    const auto row = db_->query("SELECT id, vip FROM customers WHERE name = 'New one'");
    QCOMPARE(row.size(), std::size_t(1));
    QCOMPARE(q.fieldByName("id").asString(), row[0][0]); // the serial key shows at once
    QCOMPARE(q.fieldByName("vip").value(), Value::integer(0));
    QCOMPARE(q.recordCount(), 4);
}

void TestPostgresQuery::deleteRemovesRow() {
    db_->exec("INSERT INTO customers (id, name) VALUES (90, 'Temp')");
    Query q(conn_.get());
    q.setSQL("SELECT * FROM [customers] WHERE id = 90");
    q.open();
    q.remove();
    QCOMPARE(q.recordCount(), 0);
    QCOMPARE(db_->query("SELECT count(*) FROM customers WHERE id = 90")[0][0], std::string("0"));
}

void TestPostgresQuery::failedPostKeepsTheEdit() {
    db_->exec("INSERT INTO customers (id, name) VALUES (91, 'Gone soon')");
    Query q(conn_.get());
    q.setSQL("SELECT * FROM [customers] WHERE id = 91");
    q.open();
    db_->exec("DELETE FROM customers WHERE id = 91"); // another user
    q.fieldByName("name").setAsString("My typing");
    const std::string message = errorOf([&] { q.post(); });
    QVERIFY2(message.find("changed or deleted by another user") != std::string::npos,
             message.c_str());
    QCOMPARE(int(q.state()), int(DataSetState::Edit));
    QCOMPARE(q.fieldByName("name").asString(), std::string("My typing"));

    // A constraint the server enforces: its message, and the edit stays too.
    Query o(conn_.get());
    o.setSQL("SELECT * FROM orders ORDER BY no");
    o.open();
    o.fieldByName("id").setAsString("999");
    QVERIFY(errorOf([&] { o.post(); }).find("foreign key") != std::string::npos);
    QCOMPARE(o.fieldByName("id").asString(), std::string("999"));
    o.cancel();
}

void TestPostgresQuery::tableWithoutKeyRefusesEdits() {
    Query q(conn_.get());
    q.setSQL("SELECT * FROM log");
    q.open();
    QVERIFY(!q.canModify()); // known before any edit starts
    QVERIFY(q.readOnlyReason().find("read-only") != std::string::npos);
    const std::string message = errorOf([&] {
        q.fieldByName("message").setAsString("changed");
        q.post();
    });
    QVERIFY2(message.find("read-only") != std::string::npos, message.c_str());
    QCOMPARE(q.state(), DataSetState::Browse);
    QCOMPARE(db_->query("SELECT message FROM log")[0][0], std::string("started"));
}

void TestPostgresQuery::requeryAndRefresh() {
    Query q(conn_.get());
    q.setSQL("SELECT * FROM orders ORDER BY no");
    q.open();
    q.last();
    db_->exec("INSERT INTO orders (id, item) VALUES (2, 'clip')");
    q.refresh();
    QCOMPARE(q.recordCount(), 4);
    QCOMPARE(q.recNo(), 3); // position kept
    q.requery();
    QCOMPARE(q.recNo(), 1);
    QCOMPARE(q.fieldByName("amount").asString(), std::string("1.50"));
}

void TestPostgresQuery::locateAndSort() {
    Query q(conn_.get());
    q.setSQL("SELECT * FROM customers ORDER BY id");
    q.open();
    QVERIFY(q.locate("name", "ann"));
    QCOMPARE(q.fieldByName("name").asString(), std::string("Ann"));
    QVERIFY(q.locate("name", "ZO"));
    QCOMPARE(q.fieldByName("id").asString(), std::string("1"));
    QVERIFY(q.locate("id", "3"));
    QCOMPARE(q.fieldByName("name").asString(), std::string("Ann"));
    QVERIFY(!q.locate("name", "nobody"));

    q.setSort("joined DESC");
    QCOMPARE(q.sort(), std::string("joined DESC"));
    QCOMPARE(q.fieldByName("name").asString(), std::string("Ann"));
    q.setSort("id");
    QCOMPARE(q.fieldByName("id").asString(), std::string("1"));
}

void TestPostgresQuery::masterLinkWithParameters() {
    Query master(conn_.get());
    master.setSQL("SELECT * FROM customers WHERE id IN (1, 2) ORDER BY id");
    master.open();
    DataSource source(&master);
    Query detail(conn_.get());
    detail.setSQL("SELECT * FROM orders\r\nWHERE id = :id ORDER BY no");
    detail.setDataSource(&source);
    QCOMPARE(detail.parameterNames(), std::vector<std::string>{"id"});
    detail.open();
    QCOMPARE(detail.recordCount(), 2);
    master.next();
    QCOMPARE(detail.recordCount(), 2); // customer 2: pad and clip
    QCOMPARE(detail.fieldByName("item").asString(), std::string("pad"));

    // A new detail row takes the master's key.
    detail.append();
    detail.fieldByName("item").setAsString("stapler");
    detail.post();
    QCOMPARE(db_->query("SELECT id, amount FROM orders WHERE item = 'stapler'")[0],
             (std::vector<std::string>{"2", "0.00"}));
    QCOMPARE(detail.fieldByName("amount").asString(), std::string("0.00"));
}

void TestPostgresQuery::commandCountsRecords() {
    Command cmd(conn_.get());
    cmd.setCommandText("UPDATE orders SET amount = amount + 1 WHERE id = 1");
    QCOMPARE(cmd.execute(), 2LL);
    cmd.setCommandText("CREATE TABLE extra (x int)");
    QCOMPARE(cmd.execute(), -1LL);
    cmd.setCommandText("INSERT INTO extra VALUES (1), (2); DELETE FROM extra WHERE x = 1");
    QCOMPARE(cmd.execute(), 3LL);
    cmd.setCommandText("[Enter SQL query here]");
    QVERIFY(errorOf([&] { cmd.execute(); }).find("syntax error") != std::string::npos);

    Query q(conn_.get());
    q.setSQL("DELETE FROM extra");
    QCOMPARE(errorOf([&] { q.open(); }), std::string("CommandText does not return a result set"));
    QCOMPARE(db_->query("SELECT count(*) FROM extra")[0][0], std::string("1"));
}

void TestPostgresQuery::serverLossThenDisconnect() {
    pgtest::ThrowawayCluster cluster;
    QVERIFY2(cluster.start(), cluster.error().c_str());
    Connection c;
    QStringList events;
    c.onBeforeDisconnect = [&] { events << "before"; };
    c.onDisconnect = [&] { events << "after"; };
    c.setConnectionString(pgtest::connectionString(cluster.dataSource(), "postgres"));
    c.open();
    Query q(&c);
    q.setSQL("SELECT 1 AS one");
    q.open();
    cluster.stop();
    QVERIFY(!errorOf([&] { q.requery(); }).empty());
    Command cmd(&c);
    cmd.setCommandText("SELECT 1");
    QVERIFY(!errorOf([&] { cmd.execute(); }).empty());
    c.close();
    QCOMPARE(events, (QStringList{"before", "after"}));
    QVERIFY(!c.connected());
}

QTEST_GUILESS_MAIN(TestPostgresQuery)
#include "tst_postgres_query.moc"
