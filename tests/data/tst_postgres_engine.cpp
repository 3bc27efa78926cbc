// The PostgreSQL provider at engine level, against the test server.
#include "PgTestEnv.h"

#include "ConnectionString.h"
#include "Errors.h"
#include "PostgresEngine.h"
#include "TypeMap.h"

#include <QElapsedTimer>
#include <QtTest>

#include <optional>

using namespace vdata;

namespace {

std::unique_ptr<Engine> open(const std::string& cs) {
    return openPostgresEngine(ConnectionString(cs));
}

std::string single(Engine& e, const std::string& sql) {
    return e.query(sql, {}).rows.value(0, 0).toText();
}

// The message of the DataError that `f` raises, or nullopt when it raises none.
template <class F> std::optional<std::string> errorOf(F&& f) {
    try {
        f();
    } catch (const DataError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

// A write-back request for row `row` of a result.
RowEdit editOf(const ResultSet& rs, std::size_t row, const std::string& table) {
    RowEdit e;
    e.columns = &rs.columns;
    e.table = table;
    e.original = rs.rows.row(row);
    e.current = e.original;
    e.changed.assign(rs.columns.size(), false);
    return e;
}

int columnIndex(const ResultSet& rs, const std::string& name) {
    for (std::size_t i = 0; i < rs.columns.size(); ++i) {
        if (rs.columns[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void set(RowEdit& e, const ResultSet& rs, const std::string& column, Value v) {
    const auto i = static_cast<std::size_t>(columnIndex(rs, column));
    e.current.at(i) = std::move(v);
    e.changed.at(i) = true;
}

} // namespace

class TestPostgresEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<pgtest::ScratchDatabase> db_;
    std::unique_ptr<Engine> engine_;

    Engine& engine() { return *engine_; }

private slots:
    void initTestCase();
    void connecting_data();
    void connecting();
    void serverOnlyStringOpensMaintenanceDatabase();
    void listsTablesAndViews();
    void listsCatalogs();
    void typesByOid_data();
    void typesByOid();
    void querySnapshotAndColumnOrigins();
    void largeResultArrivesWhole();
    void statementWithoutRowsIsRefusedUnrun();
    void failedQueryLeavesSessionUsable();
    void dialectRewrite();
    void parametersAreBound();
    void executeCountsRecords();
    void updateWritesAndReadsBack();
    void insertReadsBackDefaultsAndSerial();
    void deleteRemovesRow();
    void vanishedRowKeepsError();
    void tableWithoutKeyIsReadOnly();
    void compositeKeyAndKeyChange();
    void serverStoppedMidSession();
    void cleanupTestCase();
};

void TestPostgresEngine::initTestCase() {
    if (pgtest::testServer() == nullptr) {
        QSKIP(pgtest::noServerMessage);
    }
    db_ = std::make_unique<pgtest::ScratchDatabase>("engine");
    db_->exec(R"(
        CREATE TABLE people (id serial PRIMARY KEY, name varchar(40) NOT NULL, born date,
                             score numeric(8,2), active boolean DEFAULT true,
                             created timestamp DEFAULT '2020-01-02 03:04:05', photo bytea);
        CREATE TABLE "Order Lines" (line int PRIMARY KEY, item text);
        CREATE TABLE nokey (a int, b text);
        CREATE TABLE pairs (a int, b int, v text, PRIMARY KEY (a, b));
        CREATE VIEW adults AS SELECT id, name FROM people WHERE born < '2000-01-01';
        CREATE SCHEMA hidden;
        CREATE TABLE hidden.secret (x int);
        INSERT INTO "Order Lines" VALUES (1, 'bolt'), (2, 'nut'), (3, 'washer');
        INSERT INTO nokey VALUES (1, 'one');
        INSERT INTO pairs VALUES (1, 1, 'a'), (1, 2, 'b');
    )");
    engine_ = open(db_->connectionString());
}

void TestPostgresEngine::cleanupTestCase() {
    engine_.reset();
    db_.reset();
}

void TestPostgresEngine::connecting_data() {
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("user");  // who is logged in; empty when it must fail
    QTest::addColumn<QString>("error"); // part of the failure message
    if (pgtest::testServer() == nullptr) {
        return;
    }
    const auto& s = *pgtest::testServer();
    const auto row = [](const char* tag, const std::string& cs, const std::string& user,
                        const char* error) {
        QTest::newRow(tag) << QString::fromStdString(cs) << QString::fromStdString(user)
                           << QString(error);
    };
    const std::string os = pgtest::adminQuery("postgres", "SELECT current_user")[0][0];
    row("socket, integrated", pgtest::connectionString(pgtest::socketDataSource(), s.database), os,
        "");
    row("host,port with login",
        pgtest::connectionString(pgtest::tcpDataSource(), s.database, s.user, s.password), s.user,
        "");
    row("host:port with login",
        pgtest::connectionString("127.0.0.1:" + s.port, s.database, s.user, s.password), s.user,
        "");
    row("login wins over integrated",
        pgtest::connectionString(pgtest::socketDataSource(), s.database, s.user, s.password),
        s.user, "");
    row("empty uid is the OS identity",
        pgtest::connectionString(pgtest::socketDataSource(), s.database) + ";uid=;pwd=", os, "");
    row("wrong port", pgtest::connectionString(s.socketDir + ",1", s.database), "", ".s.PGSQL.1");
    row("unknown host", pgtest::connectionString("no-such-host.invalid", s.database), "",
        "no-such-host.invalid");
    row("unreachable address", pgtest::connectionString("192.0.2.1,5432", s.database), "",
        "192.0.2.1");
    row("refused login",
        pgtest::connectionString(pgtest::tcpDataSource(), s.database, s.user, "wrong"), "",
        "password authentication failed");
    row("no password over TCP", pgtest::connectionString(pgtest::tcpDataSource(), s.database), "",
        "no password supplied");
    row("missing database", pgtest::connectionString(pgtest::socketDataSource(), "no_such_db"), "",
        "\"no_such_db\" does not exist");
}

void TestPostgresEngine::connecting() {
    QFETCH(QString, connectionString);
    QFETCH(QString, user);
    QFETCH(QString, error);
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<Engine> e;
    const auto message = errorOf([&] { e = open(connectionString.toStdString()); });
    QVERIFY2(timer.elapsed() < 8000, "a failing connect must give up quickly");
    if (user.isEmpty()) {
        QVERIFY2(message.has_value(), "the connection should have failed");
        QVERIFY2(message->find(error.toStdString()) != std::string::npos, message->c_str());
        QVERIFY(message->back() != '\n');
        return;
    }
    QVERIFY2(!message.has_value(), message.value_or("").c_str());
    QVERIFY(e->isOpen());
    QCOMPARE(QString::fromStdString(single(*e, "SELECT current_user")), user);
    e->close();
    QVERIFY(!e->isOpen());
}

void TestPostgresEngine::serverOnlyStringOpensMaintenanceDatabase() {
    // The string the connection dialog lists databases with: no Initial Catalog.
    auto e = open("Data Source=" + pgtest::socketDataSource() +
                  ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False");
    QCOMPARE(single(*e, "SELECT current_database()"), std::string("postgres"));
}

void TestPostgresEngine::listsTablesAndViews() {
    // Schema, then name in byte order; system schemas and schemas off the
    // search path are left out.
    const std::vector<std::string> expected = {"Order Lines", "adults", "nokey", "pairs", "people"};
    QCOMPARE(engine().listTables(), expected);
}

void TestPostgresEngine::listsCatalogs() {
    const std::string closed = db_->name() + "_closed";
    pgtest::adminQuery("postgres", "CREATE DATABASE " + closed + " ALLOW_CONNECTIONS false");
    const auto names = engine().listCatalogs();
    pgtest::adminQuery("postgres", "DROP DATABASE " + closed);

    const auto has = [&](const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    QVERIFY(has("postgres"));
    QVERIFY(has(db_->name()));
    QVERIFY(has(pgtest::testServer()->database));
    QVERIFY(!has("template0"));
    QVERIFY(!has("template1"));
    QVERIFY(!has(closed));
    QVERIFY(std::is_sorted(names.begin(), names.end()));
}

void TestPostgresEngine::typesByOid_data() {
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

void TestPostgresEngine::typesByOid() {
    QFETCH(QString, expression);
    QFETCH(int, type);
    QFETCH(int, kind);
    QFETCH(QString, text);
    const ResultSet rs = engine().query("SELECT " + expression.toStdString() + " AS v", {});
    QCOMPARE(fieldTypeName(rs.columns.at(0).type), fieldTypeName(FieldType(type)));
    const Value v = rs.rows.value(0, 0);
    QCOMPARE(int(v.kind), kind);
    if (v.kind == Value::Kind::Blob) {
        QCOMPARE(QByteArray::fromStdString(v.s).toHex(), text.toLatin1());
    } else {
        QCOMPARE(QString::fromStdString(v.toText()), text);
    }
}

void TestPostgresEngine::querySnapshotAndColumnOrigins() {
    db_->exec("INSERT INTO people (name, born, score, active, photo) VALUES "
              "('Ann', '1990-05-06', 12.50, false, '\\x0001'), ('Bob', NULL, NULL, true, NULL)");
    const ResultSet rs = engine().query(
        "SELECT p.id, p.name AS who, p.born, p.score, p.active, p.photo, upper(p.name) AS shout "
        "FROM people p WHERE p.name IN ('Ann', 'Bob') ORDER BY p.name",
        {});
    QCOMPARE(rs.rows.rowCount(), std::size_t(2));
    QCOMPARE(fieldTypeName(rs.columns[0].type), fieldTypeName(FieldType::AutoInc));
    QCOMPARE(rs.columns[1].name, std::string("who"));
    QCOMPARE(rs.columns[1].table, std::string("people"));
    QCOMPARE(rs.columns[1].column, std::string("name"));
    QVERIFY(rs.columns[6].table.empty() && rs.columns[6].column.empty());

    QCOMPARE(rs.rows.value(0, 1).toText(), std::string("Ann"));
    QCOMPARE(rs.rows.value(0, 2).toText(), std::string("1990-05-06"));
    QCOMPARE(rs.rows.value(0, 3).toText(), std::string("12.50"));
    QCOMPARE(rs.rows.value(0, 4), Value::integer(0));
    QCOMPARE(rs.rows.value(0, 5), Value::blob(std::string("\0\1", 2)));
    QCOMPARE(rs.rows.value(0, 6).toText(), std::string("ANN"));
    QVERIFY(rs.rows.isNull(1, 2));
    QVERIFY(rs.rows.isNull(1, 3));
    QVERIFY(rs.rows.isNull(1, 5));
    db_->exec("DELETE FROM people WHERE name IN ('Ann', 'Bob')");
}

void TestPostgresEngine::largeResultArrivesWhole() {
    const ResultSet rs = engine().query(
        "SELECT i, 'row ' || i AS label, i * 0.5 AS half FROM generate_series(1, 50000) i", {});
    QCOMPARE(rs.rows.rowCount(), std::size_t(50000));
    long long sum = 0;
    for (std::size_t r = 0; r < rs.rows.rowCount(); ++r) {
        sum += rs.rows.intAt(r, 0);
    }
    QCOMPARE(sum, 50000LL * 50001 / 2);
    QCOMPARE(rs.rows.value(49999, 1).toText(), std::string("row 50000"));
}

void TestPostgresEngine::statementWithoutRowsIsRefusedUnrun() {
    const auto before = db_->query("SELECT count(*) FROM nokey")[0][0];
    QCOMPARE(errorOf([&] { engine().query("INSERT INTO nokey VALUES (2, 'two')", {}); }),
             std::optional<std::string>("CommandText does not return a result set"));
    QCOMPARE(errorOf([&] { engine().query("CREATE TABLE made (x int)", {}); }),
             std::optional<std::string>("CommandText does not return a result set"));
    QCOMPARE(db_->query("SELECT count(*) FROM nokey")[0][0], before);
    QCOMPARE(db_->query("SELECT count(*) FROM pg_class WHERE relname = 'made'")[0][0],
             std::string("0"));
    // A statement that returns rows is a result set whatever its first word.
    const ResultSet rs = engine().query("INSERT INTO nokey VALUES (3, 'three') RETURNING a", {});
    QCOMPARE(rs.rows.value(0, 0), Value::integer(3));
    db_->exec("DELETE FROM nokey WHERE a = 3");
}

void TestPostgresEngine::failedQueryLeavesSessionUsable() {
    auto message = errorOf([&] { engine().query("SELEC 1", {}); });
    QVERIFY(message && message->find("syntax error") != std::string::npos);
    message = errorOf(
        [&] { engine().query("SELECT 1 / (i - 3000) FROM generate_series(1, 5000) i", {}); });
    QVERIFY2(message && message->find("division by zero") != std::string::npos,
             message.value_or("").c_str());
    message = errorOf([&] { engine().query("SELECT * FROM missing_table", {}); });
    QCOMPARE(message, std::optional<std::string>("relation \"missing_table\" does not exist"));
    QCOMPARE(single(engine(), "SELECT 5"), std::string("5"));
}

void TestPostgresEngine::dialectRewrite() {
    const std::string sql = engine().rewrite("SELECT TOP 2 * FROM [Order Lines] ORDER BY line");
    const ResultSet rs = engine().query(sql, {});
    QCOMPARE(rs.rows.rowCount(), std::size_t(2));
    QCOMPARE(rs.rows.value(1, 1).toText(), std::string("nut"));
    QCOMPARE(rs.columns[1].table, std::string("Order Lines"));
    QCOMPARE(engine().placeholder(3), std::string("$3"));
}

void TestPostgresEngine::parametersAreBound() {
    const std::string hostile = "O'Brien'); DROP TABLE nokey; --";
    QCOMPARE(engine().execute("INSERT INTO people (name, photo) VALUES ($1, $2)",
                              {Value::text(hostile), Value::blob(std::string("\0\x01\xfe", 3))}),
             1LL);
    const ResultSet rs =
        engine().query("SELECT name, photo, $2::int + 1 FROM people WHERE name = $1",
                       {Value::text(hostile), Value::integer(41)});
    QCOMPARE(rs.rows.rowCount(), std::size_t(1));
    QCOMPARE(rs.rows.value(0, 0).toText(), hostile);
    QCOMPARE(rs.rows.value(0, 1), Value::blob(std::string("\0\x01\xfe", 3)));
    QCOMPARE(rs.rows.value(0, 2), Value::integer(42));
    QCOMPARE(db_->query("SELECT count(*) FROM nokey")[0][0], std::string("1"));
    const ResultSet none =
        engine().query("SELECT count(*) FROM people WHERE name = $1", {Value::null()});
    QCOMPARE(none.rows.value(0, 0), Value::integer(0));
    db_->exec("DELETE FROM people");
}

void TestPostgresEngine::executeCountsRecords() {
    Engine& e = engine();
    QCOMPARE(e.execute("CREATE TABLE counted (n int)", {}), -1LL);
    QCOMPARE(e.execute("INSERT INTO counted SELECT generate_series(1, 10)", {}), 10LL);
    QCOMPARE(e.execute("UPDATE counted SET n = n + 1 WHERE n > $1", {Value::integer(7)}), 3LL);
    QCOMPARE(e.execute("DELETE FROM counted WHERE n = 1; DELETE FROM counted WHERE n > 9", {}),
             3LL);
    QCOMPARE(e.execute("UPDATE counted SET n = n WHERE false", {}), 0LL);
    QCOMPARE(e.execute("SELECT * FROM counted", {}), -1LL); // rows read are not affected
    QCOMPARE(e.execute("INSERT INTO counted VALUES (0), (0) RETURNING n", {}), 2LL);
    QCOMPARE(e.execute("DELETE FROM counted WHERE n = 0", {}), 2LL);
    // Several statements run as one: a failure undoes the ones before it.
    const auto message = errorOf([&] { e.execute("DELETE FROM counted; SELECT 1 / 0", {}); });
    QVERIFY(message && message->find("division by zero") != std::string::npos);
    QCOMPARE(db_->query("SELECT count(*) FROM counted")[0][0], std::string("7"));
    e.execute("DROP TABLE counted", {});
}

void TestPostgresEngine::updateWritesAndReadsBack() {
    db_->exec("INSERT INTO people (id, name, score) VALUES (100, 'Cleo', 1.00)");
    const ResultSet rs = engine().query(
        "SELECT id, name, score, active, upper(name) AS u FROM people WHERE id = 100", {});
    RowEdit e = editOf(rs, 0, "people");
    set(e, rs, "name", Value::text("Cléo \"quoted\""));
    set(e, rs, "score", Value::text("2.345"));
    set(e, rs, "active", Value::integer(0));
    const auto back = engine().updateRow(e);
    QCOMPARE(back[1].toText(), std::string("Cléo \"quoted\""));
    QCOMPARE(back[2].toText(), std::string("2.35")); // numeric(8,2) rounds; read back shows it
    QCOMPARE(back[3], Value::integer(0));
    QCOMPARE(back[4].toText(), std::string("CLEO")); // expression keeps its value
    QCOMPARE(db_->query("SELECT name, score, active FROM people WHERE id = 100")[0],
             (std::vector<std::string>{"Cléo \"quoted\"", "2.35", "f"}));
    // Nothing changed: the row is read back as it is now.
    db_->exec("UPDATE people SET score = 9 WHERE id = 100");
    const auto same = engine().updateRow(editOf(rs, 0, "people"));
    QCOMPARE(same[2].toText(), std::string("9.00"));
}

void TestPostgresEngine::insertReadsBackDefaultsAndSerial() {
    db_->exec("SELECT setval('people_id_seq', 500)");
    const ResultSet rs = engine().query("SELECT * FROM people WHERE false", {});
    RowEdit e;
    e.columns = &rs.columns;
    e.table = "people";
    e.current.assign(rs.columns.size(), Value::null());
    e.changed.assign(rs.columns.size(), false);
    set(e, rs, "name", Value::text("Dora"));
    const auto back = engine().insertRow(e);
    QCOMPARE(back[columnIndex(rs, "id")], Value::integer(501));
    QCOMPARE(back[columnIndex(rs, "active")], Value::integer(1));
    QCOMPARE(back[columnIndex(rs, "created")].toText(), std::string("2020-01-02 03:04:05"));
    QVERIFY(back[columnIndex(rs, "born")].isNull());
    QCOMPARE(db_->query("SELECT name FROM people WHERE id = 501")[0][0], std::string("Dora"));
}

void TestPostgresEngine::deleteRemovesRow() {
    db_->exec("INSERT INTO people (id, name) VALUES (200, 'Eve'), (201, 'Fay')");
    const ResultSet rs =
        engine().query("SELECT id, name FROM people WHERE id >= 200 ORDER BY id", {});
    engine().deleteRow(editOf(rs, 0, "people"));
    QCOMPARE(db_->query("SELECT id FROM people WHERE id BETWEEN 200 AND 299"),
             (std::vector<std::vector<std::string>>{{"201"}}));
}

void TestPostgresEngine::vanishedRowKeepsError() {
    db_->exec("INSERT INTO people (id, name) VALUES (300, 'Gus')");
    const ResultSet rs = engine().query("SELECT id, name FROM people WHERE id = 300", {});
    db_->exec("DELETE FROM people WHERE id = 300"); // another user
    RowEdit e = editOf(rs, 0, "people");
    set(e, rs, "name", Value::text("Gustav"));
    auto message = errorOf([&] { engine().updateRow(e); });
    QVERIFY(message && message->find("changed or deleted by another user") != std::string::npos);
    message = errorOf([&] { engine().deleteRow(editOf(rs, 0, "people")); });
    QVERIFY(message && message->find("changed or deleted by another user") != std::string::npos);
    QCOMPARE(db_->query("SELECT count(*) FROM people WHERE id = 300")[0][0], std::string("0"));
}

void TestPostgresEngine::tableWithoutKeyIsReadOnly() {
    const ResultSet rs = engine().query("SELECT a, b FROM nokey", {});
    RowEdit e = editOf(rs, 0, "nokey");
    set(e, rs, "b", Value::text("uno"));
    auto message = errorOf([&] { engine().updateRow(e); });
    QVERIFY(message && message->find("no primary key") != std::string::npos &&
            message->find("read-only") != std::string::npos);
    QVERIFY(errorOf([&] { engine().deleteRow(editOf(rs, 0, "nokey")); }).has_value());
    QCOMPARE(db_->query("SELECT b FROM nokey")[0][0], std::string("one"));

    // A result without the key column cannot say which row it is.
    const ResultSet noKey = engine().query("SELECT name FROM people", {});
    RowEdit partial;
    partial.columns = &noKey.columns;
    partial.table = "people";
    partial.current = {Value::text("x")};
    partial.changed = {true};
    message = errorOf([&] { engine().insertRow(partial); });
    QVERIFY(message && message->find("read-only") != std::string::npos);
}

void TestPostgresEngine::compositeKeyAndKeyChange() {
    const ResultSet rs = engine().query("SELECT a, b, v FROM pairs ORDER BY a, b", {});
    RowEdit e = editOf(rs, 1, "pairs");
    set(e, rs, "b", Value::integer(5));
    set(e, rs, "v", Value::text("moved"));
    const auto back = engine().updateRow(e);
    QCOMPARE(back[1], Value::integer(5));
    QCOMPARE(db_->query("SELECT a, b, v FROM pairs ORDER BY a, b"),
             (std::vector<std::vector<std::string>>{{"1", "1", "a"}, {"1", "5", "moved"}}));
}

void TestPostgresEngine::serverStoppedMidSession() {
    pgtest::ThrowawayCluster cluster;
    QVERIFY2(cluster.start(), cluster.error().c_str());
    auto e = open(pgtest::connectionString(cluster.dataSource(), "postgres"));
    QCOMPARE(single(*e, "SELECT 1"), std::string("1"));
    cluster.stop();
    const auto message = errorOf([&] { e->query("SELECT 1", {}); });
    QVERIFY2(message && !message->empty(), "the lost server must be reported");
    QVERIFY(errorOf([&] { e->execute("SELECT 1", {}); }).has_value());
    QVERIFY(errorOf([&] { e->listTables(); }).has_value());
    QVERIFY(e->isOpen()); // still open until closed, so disconnecting runs as usual
    e->close();
    QVERIFY(!e->isOpen());
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { e->query("SELECT 1", {}); }, [&] { e->execute("SELECT 1", {}); },
             [&] { e->listTables(); }, [&] { e->listCatalogs(); }}) {
        QCOMPARE(errorOf(call), std::optional<std::string>("The connection is closed"));
    }
}

QTEST_GUILESS_MAIN(TestPostgresEngine)
#include "tst_postgres_engine.moc"
