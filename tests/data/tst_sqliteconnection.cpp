#include "data/providers/TypeMap.h"
#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "tests/support/TestDb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vdata;

Q_DECLARE_METATYPE(vdata::ErrorKind)

namespace {

// Opens `connection` on `cs` and returns the error text, or "" on success.
QString openError(Connection& connection, const std::string& cs) {
    connection.setConnectionString(cs);
    try {
        connection.open();
        return {};
    } catch (const DataError& e) {
        return QString::fromUtf8(e.what());
    }
}

// The error that opening `cs` raises.
DataError openFailure(const std::string& cs) {
    Connection connection;
    connection.setConnectionString(cs);
    try {
        connection.open();
    } catch (const DataError& e) {
        return e;
    }
    qFatal("opening %s did not fail", cs.c_str());
}

} // namespace

class TestSqliteConnection : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString plain;
    QString secret;
    QString text; // a file of text, not a database
    QString jet;  // the first bytes of an Access file
    QString pipe; // a named pipe: opening it would wait for a writer
    QString socket;

private slots:
    void initTestCase() {
        plain = dir.filePath("plain ü.db");
        testdb::run(plain, "CREATE TABLE b(x INT); CREATE TABLE a(y TEXT);"
                           "CREATE VIEW v AS SELECT * FROM a; CREATE TABLE [with blank](z INT);"
                           "CREATE INDEX ib ON b(x); INSERT INTO b VALUES (1),(2),(3);");
        secret = dir.filePath("secret.db");
        testdb::runEncrypted(secret, "s3cret", "CREATE TABLE t(x INT); INSERT INTO t VALUES (42);");
        text = dir.filePath("notes.txt");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        jet = dir.filePath("old.mdb");
        QFile j(jet);
        QVERIFY(j.open(QIODevice::WriteOnly));
        j.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2048, '\0'));
        j.close();
        pipe = dir.filePath("pipe.db");
        QCOMPARE(::mkfifo(qPrintable(pipe), 0600), 0);
        socket = dir.filePath("socket.db");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, qPrintable(socket), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }

    void opensAndFiresEvents() {
        Connection c;
        QStringList events;
        c.onConnectComplete = [&](EventStatus s, const std::string&) {
            events << (s == EventStatus::OK ? "complete-ok" : "complete-error");
        };
        c.onBeforeDisconnect = [&] { events << "before"; };
        c.onDisconnect = [&] { events << "after"; };
        QCOMPARE(openError(c, testdb::jetString(plain)), QString());
        QVERIFY(c.connected());
        c.close();
        QVERIFY(!c.connected());
        c.close(); // closing a closed connection does nothing
        QCOMPARE(events, (QStringList{"complete-ok", "before", "after"}));
        // Listing connects first when needed; tables and views in catalogue order.
        QCOMPARE(c.tableNames(), (std::vector<std::string>{"b", "a", "v", "with blank"}));
        QCOMPARE(c.catalogNames().front(), std::string("main"));
    }

    void failuresNameTheProblem() {
        Connection c;
        std::vector<EventStatus> statuses;
        c.onConnectComplete = [&](EventStatus s, const std::string&) { statuses.push_back(s); };

        const QString missing = dir.filePath("missing.db");
        QVERIFY(openError(c, testdb::jetString(missing)).contains(missing));
        QVERIFY(!QFile::exists(missing)); // opening never creates a file
        QVERIFY(openError(c, testdb::jetString(text)).contains("not a database"));
        QVERIFY(openError(c, testdb::jetString(jet)).contains("the file is damaged"));

        QVERIFY(!openError(c, testdb::jetString(dir.path())).isEmpty());
        QVERIFY(!openError(c, "Provider=Nobody.1;Data Source=x").isEmpty());
        QCOMPARE(statuses.size(), std::size_t(5));
        for (EventStatus s : statuses) {
            QCOMPARE(s, EventStatus::ErrorsOccurred);
        }
        QVERIFY(!c.connected());
    }

    // Callers tell failures to open apart by their kind, not their text. A
    // path that is no plain file is refused at once, saying what it is.
    void openFailuresHaveKinds_data() {
        QTest::addColumn<std::string>("cs");
        QTest::addColumn<ErrorKind>("kind");
        QTest::addColumn<QString>("said");
        const auto row = [](const char* tag, const std::string& cs, ErrorKind kind,
                            const char* said = "") {
            QTest::newRow(tag) << cs << kind << QString::fromUtf8(said);
        };
        row("missing file", testdb::jetString(dir.filePath("missing.db")), ErrorKind::Connection);
        row("no provider", "Data Source=x", ErrorKind::Connection);
        row("unknown provider", "Provider=Nobody.1;Data Source=x", ErrorKind::Connection);
        row("folder", testdb::jetString(dir.path()), ErrorKind::NotADatabase, "is a folder");
        row("text file", testdb::jetString(text), ErrorKind::NotADatabase);
        row("access file", testdb::jetString(jet), ErrorKind::NotADatabase);
        row("no password", testdb::jetString(secret), ErrorKind::NotADatabase);
        row("wrong password", testdb::jetString(secret, "wrong"), ErrorKind::NotADatabase);
        row("named pipe", testdb::jetString(pipe), ErrorKind::NotADatabase, "is a named pipe");
        row("socket", testdb::jetString(socket), ErrorKind::NotADatabase, "is a socket");
        row("device", testdb::jetString("/dev/zero"), ErrorKind::NotADatabase, "is a device");
    }

    void openFailuresHaveKinds() {
        QFETCH(std::string, cs);
        QFETCH(ErrorKind, kind);
        QFETCH(QString, said);
        const DataError failure = openFailure(cs);
        QCOMPARE(failure.kind(), kind);
        QVERIFY2(QString::fromUtf8(failure.what()).contains(said), failure.what());
    }

    // A file opens by its engine's key as well as by the provider name that
    // stored strings of earlier versions carry; a named engine checks the
    // path first and refuses a file of another format.
    void engineKeysAndOlderProviderNames() {
        const std::string file = ";Data Source=" + plain.toStdString();
        for (const char* provider : {"sqlite", "SQLite", "file", "Microsoft.Jet.OLEDB.4.0"}) {
            Connection c;
            QCOMPARE(openError(c, "Provider=" + std::string(provider) + file), QString());
        }
        const std::string pipeFile = ";Data Source=" + pipe.toStdString();
        QCOMPARE(openFailure("Provider=sqlite" + pipeFile).kind(), ErrorKind::NotADatabase);
        QCOMPARE(openFailure("Provider=access" + pipeFile).kind(), ErrorKind::NotADatabase);
        QVERIFY(!QString::fromUtf8(openFailure("Provider=access" + file).what()).isEmpty());
    }

    void passwordProtectedFiles() {
        Connection c;
        QVERIFY(openError(c, testdb::jetString(secret)).contains("password protected"));
        QVERIFY(openError(c, testdb::jetString(secret, "wrong")).contains("password"));
        QCOMPARE(openError(c, testdb::jetString(secret, "s3cret")), QString());
        Query q(&c);
        q.setSQL("SELECT x FROM t");
        q.open();
        QCOMPARE(q.field(0).value().i, 42);
        // The protected session and the plain library live side by side.
        Connection other;
        QCOMPARE(openError(other, testdb::jetString(plain)), QString());
        QCOMPARE(other.tableNames().size(), std::size_t(4));
    }

    void typeMap_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<bool>("alias");
        QTest::addColumn<int>("type");
        const auto row = [](const char* d, bool a, FieldType t) {
            QTest::newRow(d) << QString(d) << a << static_cast<int>(t);
        };
        row("INT", false, FieldType::Integer);
        row("INTEGER", false, FieldType::Integer);
        row("INTEGER", true, FieldType::AutoInc);
        row("smallint", false, FieldType::SmallInt);
        row("BIGINT", false, FieldType::LargeInt);
        row("VARCHAR(40)", false, FieldType::WideString);
        row("NVARCHAR(10)", false, FieldType::WideString);
        row("TEXT", false, FieldType::WideString);
        row("MEMO", false, FieldType::Memo);
        row("CLOB", false, FieldType::Memo);
        row("DATE", false, FieldType::Date);
        row("DATETIME", false, FieldType::DateTime);
        row("TIMESTAMP", false, FieldType::DateTime);
        row("TIME", false, FieldType::Time);
        row("REAL", false, FieldType::Float);
        row("DOUBLE PRECISION", false, FieldType::Float);
        row("DECIMAL(10,2)", false, FieldType::Decimal);
        row("MONEY", false, FieldType::Decimal);
        row("BOOLEAN", false, FieldType::Boolean);
        row("BIT", false, FieldType::Boolean);
        row("BLOB", false, FieldType::Bytes);
        row("UNSIGNED BIG INT", false, FieldType::Integer);
        row("CHARACTER VARYING(5)", false, FieldType::WideString);
        row("", false, FieldType::Unknown);
    }
    void typeMap() {
        QFETCH(QString, declared);
        QFETCH(bool, alias);
        QFETCH(int, type);
        QCOMPARE(static_cast<int>(sqliteFieldType(declared.toStdString(), alias)), type);
    }

    void resultTypesFromTablesAndExpressions() {
        const QString path = dir.filePath("types.db");
        testdb::run(path,
                    "CREATE TABLE t(id INTEGER PRIMARY KEY, n INT, d DATE, m NUMERIC, b BLOB);"
                    "INSERT INTO t VALUES (1, 5, '2024-02-29', 1.5, x'00ff');");
        Connection c;
        c.setConnectionString(testdb::jetString(path));
        c.open();
        Query q(&c);
        q.setSQL("SELECT t.*, n * 2 AS twice, 'x' AS label, 3000000000 AS big FROM t");
        q.open();
        const std::vector<FieldType> expected{
            FieldType::AutoInc, FieldType::Integer, FieldType::Date,       FieldType::Decimal,
            FieldType::Bytes,   FieldType::Integer, FieldType::WideString, FieldType::LargeInt};
        QCOMPARE(q.fieldCount(), int(expected.size()));
        for (int i = 0; i < q.fieldCount(); ++i) {
            QCOMPARE(static_cast<int>(q.field(i).dataType()), static_cast<int>(expected[i]));
        }
        QCOMPARE(q.fieldByName("D").asString(), std::string("2024-02-29"));
        QCOMPARE(q.fieldByName("m").asString(), std::string("1.5"));
        QVERIFY(!q.canModify()); // expressions make the result read-only
    }

    void commandsCountAffectedRows() {
        const QString path = dir.filePath("command.db");
        testdb::run(path, "CREATE TABLE t(x INT); INSERT INTO t VALUES (1),(2),(3),(4);");
        Connection c;
        c.setConnectionString(testdb::jetString(path));
        c.open();
        Command cmd(&c);
        cmd.setCommandText("UPDATE t SET x = x + 10 WHERE x < 4");
        QCOMPARE(cmd.execute(), 3LL);
        cmd.setCommandText("CREATE TABLE u(y INT)");
        QCOMPARE(cmd.execute(), 0LL);          // DDL changes no rows, whatever ran before it
        cmd.setCommandText("SELECT * FROM t"); // rows are discarded
        QCOMPARE(cmd.execute(), -1LL);
        cmd.setCommandText("DELETE FROM t WHERE x > 12; INSERT INTO u VALUES (1)");
        QCOMPARE(cmd.execute(), 2LL);
        for (const char* bad :
             {"", "  \r\n", "[Enter SQL query here]", "UPDATE nowhere SET a = 1"}) {
            cmd.setCommandText(bad);
            QVERIFY_THROWS_EXCEPTION(DataError, cmd.execute());
        }
        Query q(&c);
        q.setSQL("UPDATE t SET x = 0");
        try {
            q.open();
            QFAIL("an UPDATE opened as a query must fail");
        } catch (const DataError& e) {
            QCOMPARE(QString(e.what()), QString("CommandText does not return a result set"));
        }
        QVERIFY(!q.active());
        q.setSQL("SELECT min(x) FROM t");
        q.open();
        QCOMPARE(q.field(0).value().i, 4); // the UPDATE above was never run
    }

    void closedConnectionRefusesWork() {
        Connection c;
        Command cmd(&c);
        cmd.setCommandText("SELECT 1");
        QVERIFY_THROWS_EXCEPTION(DataError, cmd.execute());
        Query q(&c);
        q.setSQL("SELECT 1");
        QVERIFY_THROWS_EXCEPTION(DataError, q.open());
    }
};

QTEST_APPLESS_MAIN(TestSqliteConnection)
#include "tst_sqliteconnection.moc"
