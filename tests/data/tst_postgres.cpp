// The PostgreSQL provider through the service, against the test server:
// connecting (and its failures), listings, types, its own write-back details
// (RETURNING, server rounding), requery, refresh, locate, sort, commands and
// server loss. What every engine does alike is in tst_enginecontract.
#include "tests/support/PgTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/providers/PostgresEngine.h"
#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/ConnectionString.h"
#include "data/service/DataSource.h"
#include "data/service/Errors.h"
#include "data/service/FieldType.h"
#include "data/service/Query.h"

#include <QElapsedTimer>

#include <QtTest>
#include <optional>

using namespace vdata;

namespace {

using testdb::errorOf;

using testdb::failureOf;

bool has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

using Rows = std::vector<std::vector<std::string>>;

} // namespace

class TestPostgres : public QObject {
    Q_OBJECT

    std::unique_ptr<pgtest::ScratchDatabase> db_;
    std::unique_ptr<Connection> conn_;

    // An open query on the test database.
    std::unique_ptr<Query> open(const std::string& sql) {
        auto q = std::make_unique<Query>(conn_.get());
        q->setSQL(sql);
        q->open();
        return q;
    }
    std::string one(const std::string& sql) { return db_->query(sql).at(0).at(0); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void connecting_data();
    void connecting();
    void eventsAndListings();
    void typesByOid_data();
    void typesByOid();
    void largeResultsAndFailedQueries();
    void arraySyntaxReachesTheServer();
    void escapedTextAndStatementShapes();
    void tableViewReadsValuesExactly_data();
    void tableViewReadsValuesExactly();
    void statementIsNoResultSet();
    void editWritesAndReadsBack();
    void insertReadsBackKeyAndDefaults();
    void refusedPostsKeepTheEdit();
    void tableWithoutKeyRefusesEdits();
    void requeryRefreshLocateSort();
    void commandCountsRecords();
    void serverStoppedMidSession();
    void connectionLostMidSession_data();
    void connectionLostMidSession();
};

void TestPostgres::initTestCase() {
    if (pgtest::testServer() == nullptr) {
        QSKIP(pgtest::noServerMessage);
    }
    db_ = std::make_unique<pgtest::ScratchDatabase>("pg");
    db_->exec(R"(
        CREATE TABLE customers (id serial PRIMARY KEY, name varchar(40) NOT NULL, joined date,
                                vip boolean DEFAULT false, score numeric(8,2),
                                created timestamp DEFAULT '2020-01-02 03:04:05', photo bytea);
        CREATE TABLE orders (no serial PRIMARY KEY, id int REFERENCES customers,
                             item text, amount numeric(10,2) DEFAULT 0);
        CREATE TABLE log (at timestamp, message text);
        CREATE TABLE pairs (a int, b int, v text, PRIMARY KEY (a, b));
        CREATE TABLE "Order Lines" (line int PRIMARY KEY, item text);
        CREATE VIEW adults AS SELECT id, name FROM customers WHERE joined < '2021-01-01';
        CREATE SCHEMA hidden;
        CREATE TABLE hidden.secret (x int);
        INSERT INTO customers (name, joined) VALUES ('Zoë', '2021-03-04'), ('adam', '2020-01-02'),
                                                    ('Ann', '2022-05-06');
        INSERT INTO orders (id, item, amount) VALUES (1, 'pen', 1.50), (1, 'ink', 3.00),
                                                     (2, 'pad', 2.25);
        INSERT INTO log VALUES ('2024-01-01 10:00:00', 'started');
        INSERT INTO pairs VALUES (1, 1, 'a'), (1, 2, 'b');
        INSERT INTO "Order Lines" VALUES (1, 'bolt'), (2, 'nut'), (3, 'washer');
    )");
    conn_ = std::make_unique<Connection>();
    conn_->setConnectionString(db_->connectionString());
    conn_->open();
}

void TestPostgres::cleanupTestCase() {
    conn_.reset();
    db_.reset();
}

void TestPostgres::connecting_data() {
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("who");   // user@database logged in; empty when it must fail
    QTest::addColumn<QString>("error"); // part of the failure message
    if (pgtest::testServer() == nullptr) {
        return;
    }
    const auto& s = *pgtest::testServer();
    const auto row = [](const char* tag, const std::string& cs, const std::string& who,
                        const char* error) {
        QTest::newRow(tag) << QString::fromStdString(cs) << QString::fromStdString(who)
                           << QString(error);
    };
    const std::string os = pgtest::adminQuery("postgres", "SELECT current_user")[0][0];
    const std::string sock = pgtest::socketDataSource();
    const std::string tcp = pgtest::tcpDataSource();
    row("socket, integrated", pgtest::connectionString(sock, s.database), os + "@" + s.database,
        "");
    row("host,port with login", pgtest::connectionString(tcp, s.database, s.user, s.password),
        s.user + "@" + s.database, "");
    row("host:port with login",
        pgtest::connectionString("127.0.0.1:" + s.port, s.database, s.user, s.password),
        s.user + "@" + s.database, "");
    row("login wins over integrated",
        pgtest::connectionString(sock, s.database, s.user, s.password), s.user + "@" + s.database,
        "");
    row("empty uid is the OS identity",
        pgtest::connectionString(sock, s.database) + ";uid=;pwd=", os + "@" + s.database, "");
    // The connection dialog lists databases before one is chosen.
    row("server only: maintenance database",
        "Data Source=" + sock +
            ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False",
        os + "@postgres", "");
    row("the engine's own key",
        "Provider=postgresql;Data Source=" + sock + ";Initial Catalog=" + s.database,
        os + "@" + s.database, "");
    row("wrong port", pgtest::connectionString(s.socketDir + ",1", s.database), "", ".s.PGSQL.1");
    row("unknown host", pgtest::connectionString("no-such-host.invalid", s.database), "",
        "no-such-host.invalid");
    row("unreachable address", pgtest::connectionString("192.0.2.1,5432", s.database), "",
        "192.0.2.1");
    row("refused login", pgtest::connectionString(tcp, s.database, s.user, "wrong"), "",
        "password authentication failed");
    row("no password over TCP", pgtest::connectionString(tcp, s.database), "",
        "no password supplied");
    row("missing database", pgtest::connectionString(sock, "no_such_db"), "",
        "\"no_such_db\" does not exist");
}

void TestPostgres::connecting() {
    QFETCH(QString, connectionString);
    QFETCH(QString, who);
    QFETCH(QString, error);
    QElapsedTimer timer;
    timer.start();
    Connection c;
    c.setConnectionString(connectionString.toStdString());
    const std::string message = errorOf([&] { c.open(); });
    QVERIFY2(timer.elapsed() < 8000, "a failing connect must give up quickly");
    if (who.isEmpty()) {
        QVERIFY2(has(message, error.toUtf8().constData()), message.c_str());
        QVERIFY(message.back() != '\n');
        QVERIFY(!c.connected());
        return;
    }
    QVERIFY2(message.empty(), message.c_str());
    Query q(&c);
    q.setSQL("SELECT current_user || '@' || current_database()");
    q.open();
    QCOMPARE(QString::fromStdString(q.field(0).asString()), who);
    c.close();
    QVERIFY(!c.connected());
}

void TestPostgres::eventsAndListings() {
    Connection c;
    QStringList events;
    c.onConnectComplete = [&](EventStatus s, const std::string&) {
        events << (s == EventStatus::OK ? "ok" : "error");
    };
    c.onBeforeDisconnect = [&] { events << "before"; };
    c.onDisconnect = [&] { events << "after"; };
    c.setConnectionString(pgtest::connectionString(pgtest::socketDataSource(), "no_such_db"));
    QVERIFY(has(errorOf([&] { c.open(); }), "does not exist"));

    // Listing connects first. Schema, then name in byte order; system schemas
    // and schemas off the search path are left out.
    c.setConnectionString(db_->connectionString());
    QCOMPARE(c.tableNames(), (std::vector<std::string>{"Order Lines", "adults", "customers", "log",
                                                       "orders", "pairs"}));
    QVERIFY(c.connected());

    const std::string closed = db_->name() + "_closed";
    pgtest::adminQuery("postgres", "CREATE DATABASE " + closed + " ALLOW_CONNECTIONS false");
    const auto names = c.catalogNames();
    pgtest::adminQuery("postgres", "DROP DATABASE " + closed);
    const auto listed = [&](const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    QVERIFY(listed("postgres") && listed(db_->name()) && listed(pgtest::testServer()->database));
    QVERIFY(!listed("template0") && !listed("template1") && !listed(closed));
    QVERIFY(std::is_sorted(names.begin(), names.end()));
    c.close();
    QCOMPARE(events, (QStringList{"error", "ok", "before", "after"}));
}

void TestPostgres::typesByOid_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* expr, FieldType t, Value::Kind k, const char* text) {
        QTest::newRow(expr) << expr << int(t) << int(k) << text;
    };
    row("42::int4", FieldType::Integer, Value::Kind::Int, "42");
    row("'-7'::int2", FieldType::SmallInt, Value::Kind::Int, "-7");
    row("9007199254740993::int8", FieldType::LargeInt, Value::Kind::Int, "9007199254740993");
    row("'abc'::text", FieldType::WideString, Value::Kind::Text, "abc");
    row("'ab'::varchar(5)", FieldType::WideString, Value::Kind::Text, "ab");
    row("'ab'::char(3)", FieldType::WideString, Value::Kind::Text, "ab ");
    row("'ab'::name", FieldType::WideString, Value::Kind::Text, "ab");
    row("'2024-02-29'::date", FieldType::Date, Value::Kind::Text, "2024-02-29");
    row("'2024-02-29 13:14:15'::timestamp", FieldType::DateTime, Value::Kind::Text,
        "2024-02-29 13:14:15");
    row("'2024-02-29 13:14:15+00'::timestamptz", FieldType::DateTime, Value::Kind::Text,
        "2024-02-29 13:14:15+00");
    row("'13:14:15'::time", FieldType::Time, Value::Kind::Text, "13:14:15");
    row("1.5::float4", FieldType::Float, Value::Kind::Real, "1.5");
    row("0.1::float8", FieldType::Float, Value::Kind::Real, "0.1");
    row("12345.678::numeric(10,3)", FieldType::Decimal, Value::Kind::Text, "12345.678");
    row("'-1234.5'::money", FieldType::Decimal, Value::Kind::Text, "-1234.50");
    row("true", FieldType::Boolean, Value::Kind::Int, "1");
    row("false", FieldType::Boolean, Value::Kind::Int, "0");
    row("'\\x00ff41'::bytea", FieldType::Bytes, Value::Kind::Blob, "00ff41"); // hex of the bytes
    row("'{\"a\": 1}'::jsonb", FieldType::WideString, Value::Kind::Text, "{\"a\": 1}");
    row("'Grüße'::text", FieldType::WideString, Value::Kind::Text, "Grüße");
    row("NULL::int4", FieldType::Integer, Value::Kind::Null, "");
}

void TestPostgres::typesByOid() {
    QFETCH(QString, expression);
    QFETCH(int, type);
    QFETCH(int, kind);
    QFETCH(QString, text);
    auto q = open("SELECT " + expression.toStdString() + " AS v");
    QCOMPARE(fieldTypeName(q->field(0).dataType()), fieldTypeName(FieldType(type)));
    const Value v = q->field(0).value();
    QCOMPARE(int(v.kind), kind);
    if (v.kind == Value::Kind::Blob) {
        QCOMPARE(QByteArray::fromStdString(v.s).toHex(), text.toLatin1());
    } else {
        QCOMPARE(QString::fromStdString(v.toText()), text);
    }
}

void TestPostgres::largeResultsAndFailedQueries() {
    auto q = open("SELECT i, 'row ' || i AS label FROM generate_series(1, 50000) i");
    q->readAll();
    QCOMPARE(q->recordCount(), 50000);
    long long sum = 0;
    for (int r = 0; r < q->recordCount(); ++r) {
        sum += std::stoll(q->cellText(r, 0));
    }
    QCOMPARE(sum, 50000LL * 50001 / 2);
    QCOMPARE(q->cellText(49999, 1), std::string("row 50000"));

    // A failure in the middle of fetching, and others; the session goes on.
    QVERIFY(has(
        errorOf([&] { open("SELECT 1 / (i - 3000) FROM generate_series(1, 5000) i")->readAll(); }),
        "division by zero"));
    QVERIFY(has(errorOf([&] { open("SELEC 1"); }), "syntax error"));
    QCOMPARE(errorOf([&] { open("SELECT * FROM missing_table"); }),
             std::string("relation \"missing_table\" does not exist"));
    QCOMPARE(open("SELECT 5")->field(0).asString(), std::string("5"));
}

// Subscripts, array constructors and array types keep their brackets while
// bracketed names become quoted ones.
void TestPostgres::arraySyntaxReachesTheServer() {
    auto q = open("SELECT ARRAY[1,2] AS a, ('{7,8}'::int[])[2] AS b, "
                  "array_length('{}'::text [], 1) AS c, [n][1] AS d, n[2] AS e "
                  "FROM (SELECT ARRAY ['x','y'] AS n) [s]");
    QCOMPARE(q->field(0).asString(), std::string("{1,2}"));
    QCOMPARE(q->field(1).asString(), std::string("8"));
    QVERIFY(q->field(2).isNull());
    QCOMPARE(q->field(3).asString(), std::string("x"));
    QCOMPARE(q->field(4).asString(), std::string("y"));
}

// Text with tabs, line breaks, backslashes and control characters, the
// text \N, empty text and NULL come back as stored; every shape of
// statement (comments, semicolons, lower case, VALUES, TABLE, parentheses,
// inside a transaction block) returns its rows and runs exactly once.
void TestPostgres::escapedTextAndStatementShapes() {
    auto q = open(R"(SELECT E'a\tb\nc\rd\\e' AS t, '\N' AS n, '' AS e, NULL::text AS z,
                            E'\x01\b\x0b\f\x7f' AS ctl, '\x5c094e'::bytea AS b)");
    QCOMPARE(q->field(0).asString(), std::string("a\tb\nc\rd\\e"));
    QCOMPARE(q->field(1).asString(), std::string("\\N"));
    QVERIFY(!q->field(2).isNull() && q->field(2).asString().empty());
    QVERIFY(q->field(3).isNull());
    QCOMPARE(q->field(4).asString(), std::string("\x01\b\x0b\f\x7f"));
    QCOMPARE(q->field(5).value().s, std::string("\\\tN"));

    db_->exec("CREATE SEQUENCE shapes; CREATE TABLE shape_rows AS SELECT 7 AS x");
    const char* const shapes[] = {
        "select nextval('shapes') -- last line is a comment",
        "  SELECT nextval('shapes');\n",
        "SELECT nextval('shapes'); -- a comment after the semicolon",
        "VALUES (nextval('shapes'))",
        "(SELECT nextval('shapes'))",
        "SELECT nextval('shapes') FROM shape_rows FOR UPDATE",
    };
    int expected = 0;
    for (const char* sql : shapes) {
        QCOMPARE(open(sql)->field(0).asString(), std::to_string(++expected));
    }
    QCOMPARE(open("TABLE shape_rows")->field(0).asString(), std::string("7"));
    Command cmd(conn_.get());
    cmd.setCommandText("BEGIN");
    cmd.execute();
    QCOMPARE(open("SELECT nextval('shapes')")->field(0).asString(), std::to_string(++expected));
    cmd.setCommandText("COMMIT");
    cmd.execute();
    QCOMPARE(one("SELECT last_value FROM shapes"), std::to_string(expected));
}

void TestPostgres::tableViewReadsValuesExactly_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QByteArray>("expected"); // the text, or a blob's bytes
    const auto row = [](const char* name, const char* type, const char* literal,
                        QByteArray expected) {
        QTest::newRow(name) << type << literal << expected;
    };
    row("escapes", "text", R"(E'a\tb\nc\rd\\e\x01\b\x0b\f\x7f')",
        QByteArray("a\tb\nc\rd\\e\x01\b\x0b\f\x7f"));
    row("backslash N as text", "text", R"('\N')", "\\N");
    row("empty text", "text", "''", QByteArray(""));
    row("decimal", "numeric(30,10)", "'-98765432109876543.2109876543'",
        "-98765432109876543.2109876543");
    row("date", "date", "'0099-12-31 BC'", "0099-12-31 BC");
    row("timestamp with fraction and zone", "timestamptz", "'2024-02-29 13:14:15.123456+05:30'",
        "2024-02-29 07:44:15.123456+00");
    row("bytea", "bytea", R"('\x5c094e00ff'::bytea)", QByteArray("\\\tN\0\xff", 5));
    row("array", "text[]", R"(ARRAY['a b', 'c\d', NULL, '"'])", R"({"a b","c\\d",NULL,"\""})");
}

// Values typed into a table by SQL come back exactly through a table view,
// beside a NULL and beside plain text on the same line.
void TestPostgres::tableViewReadsValuesExactly() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(QByteArray, expected);
    db_->exec("DROP TABLE IF EXISTS exact; CREATE TABLE exact (id int PRIMARY KEY, v " +
              type.toStdString() + ", w text); INSERT INTO exact VALUES (1, " +
              literal.toStdString() + ", NULL), (2, " + literal.toStdString() + ", 'x')");
    Query q(conn_.get());
    q.setTableView({"exact", {"id"}, std::nullopt});
    q.open();
    q.readAll();
    QCOMPARE(q.recordCount(), 2);
    QVERIFY(q.field(2).isNull());
    QCOMPARE(QByteArray::fromStdString(q.field(1).value().s), expected);
    q.next();
    QCOMPARE(q.field(2).asString(), std::string("x"));
    QCOMPARE(QByteArray::fromStdString(q.field(1).value().s), expected);
}

void TestPostgres::statementIsNoResultSet() {
    for (const char* sql : {"INSERT INTO log VALUES (NULL, 'two')", "CREATE TABLE made (x int)"}) {
        QCOMPARE(errorOf([&] { open(sql); }),
                 std::string("CommandText does not return a result set"));
    }
    QCOMPARE(one("SELECT count(*) FROM log"), std::string("1")); // neither was run
    QCOMPARE(one("SELECT count(*) FROM pg_class WHERE relname = 'made'"), std::string("0"));
    // A statement that returns rows is a result set whatever its first word.
    QCOMPARE(open("INSERT INTO log VALUES (NULL, 'three') RETURNING message")->field(0).asString(),
             std::string("three"));
    db_->exec("DELETE FROM log WHERE message = 'three'");
}

void TestPostgres::editWritesAndReadsBack() {
    auto q = open("SELECT * FROM [customers] WHERE id = 2");
    q->edit();
    q->fieldByName("name").setAsString("Adam \"O'Neil\"");
    q->fieldByName("joined").setAsString("2020-12-31");
    q->fieldByName("vip").setAsString("yes");
    q->fieldByName("score").setAsString("2.345");
    q->setCurrentValue(6, Value::blob(std::string("\0\x01\xfe", 3))); // bytes with a NUL
    q->post();
    QCOMPARE(int(q->state()), int(DataSetState::Browse));
    QCOMPARE(db_->query("SELECT name, joined, vip, score FROM customers WHERE id = 2")[0],
             (std::vector<std::string>{"Adam \"O'Neil\"", "2020-12-31", "t", "2.35"}));
    // Read back: the server's rounding shows.
    QCOMPARE(q->fieldByName("score").asString(), std::string("2.35"));
    QCOMPARE(q->fieldByName("vip").value(), Value::integer(1));
    QCOMPARE(one("SELECT encode(photo, 'hex') FROM customers WHERE id = 2"), std::string("0001fe"));
}

void TestPostgres::insertReadsBackKeyAndDefaults() {
    db_->exec("SELECT setval('customers_id_seq', 500)");
    auto q = open("SELECT * FROM [customers] ORDER BY id");
    q->append();
    q->fieldByName("name").setAsString("New one");
    q->post();
    QCOMPARE(q->fieldByName("id").asString(), std::string("501")); // the serial key shows at once
    QCOMPARE(int(q->fieldByName("id").dataType()), int(FieldType::AutoInc));
    QCOMPARE(q->fieldByName("vip").value(), Value::integer(0));
    QCOMPARE(q->fieldByName("created").asString(), std::string("2020-01-02 03:04:05"));
    QVERIFY(q->fieldByName("joined").isNull());
    QCOMPARE(q->recordCount(), 4);
    QCOMPARE(one("SELECT name FROM customers WHERE id = 501"), std::string("New one"));
}

void TestPostgres::refusedPostsKeepTheEdit() {
    // A constraint the server enforces: its message, and the edit stays too.
    auto o = open("SELECT * FROM orders ORDER BY no");
    o->fieldByName("id").setAsString("999");
    QVERIFY(has(errorOf([&] { o->post(); }), "foreign key"));
    QCOMPARE(o->fieldByName("id").asString(), std::string("999"));
    o->cancel();
}

void TestPostgres::tableWithoutKeyRefusesEdits() {
    auto q = open("SELECT * FROM log");
    QVERIFY(!q->canModify()); // known before any edit starts
    QVERIFY(has(q->readOnlyReason(), "no primary key"));
    QVERIFY(has(q->readOnlyReason(), "read-only"));
    const std::optional<DataError> refused = failureOf([&] {
        q->fieldByName("message").setAsString("changed");
        q->post();
    });
    QVERIFY(refused);
    const std::string message = refused->what();
    QVERIFY2(has(message, "read-only"), message.c_str());
    QCOMPARE(refused->kind(), ErrorKind::ReadOnly);
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(one("SELECT message FROM log"), std::string("started"));
    // A result without the key column cannot say which row it is.
    auto noKey = open("SELECT name FROM customers");
    QVERIFY(!noKey->canModify());
    QVERIFY_THROWS_EXCEPTION(DataError, noKey->insert());
}

void TestPostgres::requeryRefreshLocateSort() {
    auto q = open("SELECT * FROM orders ORDER BY no");
    int scrolls = 0;
    q->afterScroll = [&](Query&) { ++scrolls; };
    q->last();
    db_->exec("INSERT INTO orders (id, item) VALUES (2, 'clip')");
    q->refresh();
    QCOMPARE(q->recordCount(), 4);
    QCOMPARE(q->recNo(), 3); // position kept
    q->requery();
    QCOMPARE(q->recNo(), 1);
    QCOMPARE(q->fieldByName("amount").asString(), std::string("1.50"));
    QVERIFY(scrolls >= 2);

    auto c = open("SELECT * FROM customers WHERE id < 10 ORDER BY id");
    QVERIFY(c->locate("name", "ann"));
    QCOMPARE(c->fieldByName("name").asString(), std::string("Ann"));
    QVERIFY(c->locate("name", "ZO"));
    QCOMPARE(c->fieldByName("id").asString(), std::string("1"));
    QVERIFY(c->locate("id", "3"));
    QVERIFY(!c->locate("name", "nobody"));
    QCOMPARE(c->recNo(), 3);
    QVERIFY_THROWS_EXCEPTION(DataError, c->locate("id", "three"));
    c->setSort("joined DESC");
    QCOMPARE(c->sort(), std::string("joined DESC"));
    QCOMPARE(c->fieldByName("name").asString(), std::string("Ann"));
    QVERIFY_THROWS_EXCEPTION(DataError, c->setSort("nowhere"));
    QCOMPARE(c->sort(), std::string("joined DESC"));
}

void TestPostgres::commandCountsRecords() {
    Command cmd(conn_.get());
    const auto run = [&](const char* sql) {
        cmd.setCommandText(sql);
        return cmd.execute();
    };
    QCOMPARE(run("CREATE TABLE counted (n int)"), -1LL);
    QCOMPARE(run("INSERT INTO counted SELECT generate_series(1, 10)"), 10LL);
    QCOMPARE(run("UPDATE counted SET n = n + 1 WHERE n > 7"), 3LL);
    QCOMPARE(run("DELETE FROM counted WHERE n = 1; DELETE FROM counted WHERE n > 9"), 3LL);
    QCOMPARE(run("UPDATE counted SET n = n WHERE false"), 0LL);
    QCOMPARE(run("SELECT * FROM counted"), -1LL); // rows read are not affected
    QCOMPARE(run("INSERT INTO counted VALUES (0), (0) RETURNING n"), 2LL);
    QCOMPARE(run("DELETE FROM counted WHERE n = 0"), 2LL);
    // Several statements run as one: a failure undoes the ones before it.
    QVERIFY(has(errorOf([&] { run("DELETE FROM counted; SELECT 1 / 0"); }), "division by zero"));
    QCOMPARE(one("SELECT count(*) FROM counted"), std::string("7"));
    QVERIFY(has(errorOf([&] { run("[Enter SQL query here]"); }), "syntax error"));
    run("DROP TABLE counted");
}

void TestPostgres::serverStoppedMidSession() {
    pgtest::ThrowawayCluster cluster;
    QVERIFY2(cluster.start(), cluster.error().c_str());
    Connection c;
    QStringList events;
    c.onBeforeDisconnect = [&] { events << "before"; };
    c.onDisconnect = [&] { events << "after"; };
    c.setConnectionString(pgtest::connectionString(cluster.dataSource(), "postgres"));
    c.open();
    // The engine itself refuses work once closed.
    auto e = openPostgresEngine(
        ConnectionString(pgtest::connectionString(cluster.dataSource(), "postgres")));
    e->close();
    QCOMPARE(errorOf([&] { e->query("SELECT 1", {}); }), std::string("The connection is closed"));
    QCOMPARE(errorOf([&] { e->listTables(); }), std::string("The connection is closed"));
    Query q(&c);
    q.setSQL("SELECT 1 AS one");
    q.open();
    cluster.stop();
    QVERIFY(!errorOf([&] { q.requery(); }).empty());
    Command cmd(&c);
    cmd.setCommandText("SELECT 1");
    QVERIFY(!errorOf([&] { cmd.execute(); }).empty());
    QVERIFY(!errorOf([&] { c.tableNames(); }).empty());
    QVERIFY(c.connected()); // still open until closed, so disconnecting runs as usual
    c.close();
    QCOMPARE(events, (QStringList{"before", "after"}));
    QVERIFY(!c.connected());
}

void TestPostgres::connectionLostMidSession_data() {
    QTest::addColumn<QString>("before");    // run before the loss
    QTest::addColumn<bool>("restart");      // else the statement itself cuts the connection
    QTest::addColumn<QString>("statement"); // its first cell, count or message part follows
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("stored"); // rows of t afterwards
    QTest::newRow("read after a restart") << "" << true << "SHOW lock_timeout"
                                          << "3s"
                                          << "0";
    QTest::newRow("write after a restart") << "" << true << "INSERT INTO t VALUES (1)"
                                           << "1"
                                           << "1";
    QTest::newRow("write cut off while it ran")
        << "" << false << "INSERT INTO t SELECT pg_terminate_backend(pg_backend_pid())::int"
        << "not known whether"
        << "0";
    QTest::newRow("transaction cut off by a restart")
        << "BEGIN; INSERT INTO t VALUES (2)" << true << "SELECT count(*) FROM t"
        << "rolled back"
        << "0";
}

// After the connection was lost, the next statement connects again with the
// session's settings and runs, unless work may have been lost: a write that
// may have reached the server, or an open transaction, is reported instead.
void TestPostgres::connectionLostMidSession() {
    QFETCH(QString, before);
    QFETCH(bool, restart);
    QFETCH(QString, statement);
    QFETCH(QString, outcome);
    QFETCH(QString, stored);
    pgtest::ThrowawayCluster cluster;
    QVERIFY2(cluster.start(), cluster.error().c_str());
    Connection c;
    c.setConnectionString(pgtest::connectionString(cluster.dataSource(), "postgres"));
    c.open();
    Command cmd(&c);
    const auto run = [&](const QString& sql) {
        cmd.setCommandText(sql.toStdString());
        if (cmd.returnsRows() == true) {
            Query q(&c);
            q.setSQL(sql.toStdString());
            q.open();
            return q.field(0).asString();
        }
        return std::to_string(cmd.execute());
    };
    run("CREATE TABLE t (n int)");
    if (!before.isEmpty()) {
        run(before);
    }
    if (restart) {
        QVERIFY2(cluster.restart(), cluster.error().c_str());
    }
    std::string result;
    const std::optional<DataError> failure = failureOf([&] { result = run(statement); });
    if (failure) {
        QCOMPARE(failure->kind(), ErrorKind::Connection);
        result = failure->what();
    }
    QVERIFY2(has(result, outcome.toUtf8().constData()), result.c_str());
    QCOMPARE(run("SHOW lock_timeout"), std::string("3s"));
    Connection other;
    other.setConnectionString(c.connectionString());
    other.open();
    Query q(&other);
    q.setSQL("SELECT count(*) FROM t");
    q.open();
    QCOMPARE(q.field(0).asString(), stored.toStdString());
}

QTEST_GUILESS_MAIN(TestPostgres)
#include "tst_postgres.moc"
