// Server names as typed in Data Source, and the enumerator that finds the
// PostgreSQL servers on this host.
#include "tests/support/PgTestEnv.h"

#include "data/providers/PostgresEngine.h"
#include "data/providers/PostgresServerName.h"
#include "data/providers/ServerEnumerator.h"
#include "data/service/ConnectionString.h"
#include "data/service/Errors.h"

#include <QElapsedTimer>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

using namespace vdata;

namespace {

bool listed(const std::vector<SourceRow>& rows, const std::string& name) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](const SourceRow& r) { return r.name == name && r.type == 1; });
}

std::string paramOf(const std::vector<std::pair<std::string, std::string>>& params,
                    const std::string& key) {
    for (const auto& [k, v] : params) {
        if (k == key) {
            return v;
        }
    }
    return "<absent>";
}

} // namespace

class TestPostgresEnumerator : public QObject {
    Q_OBJECT

private slots:
    void serverNames_data();
    void serverNames();
    void socketNamesReadBack();
    void connectParams();
    void unknownEnumeratorRaises();
    void findsClusterWithSocketInTmp();
    void skipsStaleSocketFiles();
};

void TestPostgresEnumerator::serverNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    const QString local = defaultSocketDirectory();
    const auto row = [](const char* tag, const char* name, const QString& host, const char* port) {
        QTest::newRow(tag) << name << host << port;
    };
    row("(local)", "(local)", local, "5432");
    row("dot", ".", local, "5432");
    row("empty", "", local, "5432");
    row("(LOCAL),port", "(LOCAL),5433", local, "5433");
    row("host", "db.example.com", "db.example.com", "5432");
    row("host,port", "db.example.com,5433", "db.example.com", "5433");
    row("host:port", "db:6000", "db", "6000");
    row("blanks", " 10.0.0.7 , 5433 ", "10.0.0.7", "5433");
    row("socket dir", "/tmp", "/tmp", "5432");
    row("socket dir,port", "/srv/pg sockets,5499", "/srv/pg sockets", "5499");
    row("IPv6", "::1", "::1", "5432");
    row("[IPv6]:port", "[::1]:5433", "::1", "5433");
}

void TestPostgresEnumerator::serverNames() {
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(QString, port);
    const PostgresAddress a = parseServerName(name.toStdString());
    QCOMPARE(QString::fromStdString(a.host), host);
    QCOMPARE(QString::fromStdString(a.port), port);
}

void TestPostgresEnumerator::socketNamesReadBack() {
    // What the enumerator reports must connect to the same place when typed.
    const std::pair<std::string, int> sockets[] = {{defaultSocketDirectory(), 5432},
                                                   {defaultSocketDirectory(), 5433},
                                                   {"/tmp", 5432},
                                                   {"/tmp", 40001}};
    for (const auto& [dir, port] : sockets) {
        const PostgresAddress a = parseServerName(serverNameForSocket(dir, port));
        QCOMPARE(a.host, dir);
        QCOMPARE(a.port, std::to_string(port));
    }
    QCOMPARE(serverNameForSocket(defaultSocketDirectory(), 5432), std::string("(local)"));
    QCOMPARE(serverNameForSocket("/tmp", 5433), std::string("/tmp,5433"));
}

void TestPostgresEnumerator::connectParams() {
    const auto integrated =
        postgresConnectParams(ConnectionString("Data Source=(local);Provider=SQLOLEDB.1;Integrated "
                                               "Security=SSPI;Persist Security Info=False"));
    QCOMPARE(paramOf(integrated, "dbname"), std::string("postgres"));
    QCOMPARE(paramOf(integrated, "user"), std::string("<absent>"));
    QCOMPARE(paramOf(integrated, "password"), std::string("<absent>"));

    const auto login = postgresConnectParams(ConnectionString(
        "Data Source=h,1;Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=Sales Db;"
        "uid=ann;pwd= s3cret"));
    QCOMPARE(paramOf(login, "host"), std::string("h"));
    QCOMPARE(paramOf(login, "port"), std::string("1"));
    QCOMPARE(paramOf(login, "dbname"), std::string("Sales Db"));
    QCOMPARE(paramOf(login, "user"), std::string("ann"));
    QCOMPARE(paramOf(login, "password"), std::string(" s3cret")); // verbatim
    QVERIFY(paramOf(login, "connect_timeout") != "<absent>");
}

void TestPostgresEnumerator::unknownEnumeratorRaises() {
    QVERIFY_THROWS_EXCEPTION(DataError, enumerateSources("MSOLAP Enumerator"));
    QVERIFY_THROWS_NO_EXCEPTION(enumerateSources("sqloledb enumerator"));
}

void TestPostgresEnumerator::findsClusterWithSocketInTmp() {
    if (pgtest::testServer() == nullptr) {
        QSKIP(pgtest::noServerMessage);
    }
    pgtest::ThrowawayCluster cluster;
    QVERIFY2(cluster.start("/tmp"), cluster.error().c_str());
    const std::string name = "/tmp," + std::to_string(cluster.port());

    QElapsedTimer timer;
    timer.start();
    auto rows = enumerateSources("SQLOLEDB Enumerator");
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY2(listed(rows, name), name.c_str());

    // The listed name, typed back as the server, connects.
    auto engine = openPostgresEngine(
        ConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=" + name));
    QCOMPARE(engine->query("SELECT current_database()", {}).rows.value(0, 0).toText(),
             std::string("postgres"));
    engine->close();

    cluster.stop();
    timer.restart();
    rows = enumerateSources("SQLOLEDB Enumerator");
    QVERIFY2(timer.elapsed() < 1000, "the enumerator must give up within a second");
    QVERIFY(!listed(rows, name));
}

void TestPostgresEnumerator::skipsStaleSocketFiles() {
    // A socket file whose server died: bound once, nobody listens.
    const std::string path = "/tmp/.s.PGSQL.49151";
    if (std::filesystem::exists(path)) {
        QSKIP("/tmp/.s.PGSQL.49151 is in use on this machine");
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    QVERIFY(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    ::close(fd);
    const auto rows = enumerateSources("SQLOLEDB Enumerator");
    std::filesystem::remove(path);
    QVERIFY(!listed(rows, "/tmp,49151"));
}

QTEST_GUILESS_MAIN(TestPostgresEnumerator)
#include "tst_postgres_enumerator.moc"
