// The server lists behind the server dialog's types: SQL Server instances by
// the SQL Server Browser protocol (against a responder on the loopback
// address), MariaDB servers on this host's standard socket, and the ODBC data
// sources of a private odbc.ini.
#include "data/providers/LocalProbe.h"
#include "data/providers/ServerEnumerator.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <filesystem>
#include <thread>

using namespace vdata;

namespace {

QStringList names(const std::vector<SourceRow>& rows) {
    QStringList result;
    for (const SourceRow& row : rows)
        result << QString::fromStdString(row.name);
    return result;
}

// An SVR_RESP packet around `records`.
QByteArray answer(const QByteArray& records) {
    const auto size = records.size();
    return QByteArray(1, 0x05) + char(size & 0xff) + char(size >> 8) + records;
}

// A SQL Server Browser on 127.0.0.1 at a free port: answers the first
// CLNT_BCAST_EX request with `packets`.
class Responder {
public:
    explicit Responder(QList<QByteArray> packets) : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_.fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(socket_.fd, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, packets] { answer(packets); });
    }
    ~Responder() { thread_.join(); }
    std::uint16_t port() const { return port_; }

private:
    void answer(const QList<QByteArray>& packets) {
        pollfd p{socket_.fd, POLLIN, 0};
        if (::poll(&p, 1, 3000) != 1)
            return;
        char request = 0;
        sockaddr_in client{};
        socklen_t length = sizeof client;
        if (::recvfrom(socket_.fd, &request, 1, 0, reinterpret_cast<sockaddr*>(&client), &length) !=
                1 ||
            request != 0x02)
            return;
        for (const QByteArray& packet : packets)
            ::sendto(socket_.fd, packet.data(), packet.size(), 0,
                     reinterpret_cast<sockaddr*>(&client), length);
    }

    Descriptor socket_;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

} // namespace

class TestServerEnumerators : public QObject {
    Q_OBJECT

    QTemporaryDir odbcDir;

private slots:
    void initTestCase() {
        // unixODBC reads the user's file from ODBCINI and the system's
        // odbc.ini from the folder ODBCSYSINI names (not HOME's .odbc.ini).
        QFile user(odbcDir.filePath("user.ini"));
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write("[Sales Figures]\nDriver=SQLite3\nDatabase=/tmp/sales.db\n"
                   "[Stock]\nDriver=MariaDB Unicode\n");
        user.close();
        QFile system(odbcDir.filePath("odbc.ini"));
        QVERIFY(system.open(QIODevice::WriteOnly));
        system.write("[Payroll]\nDriver=PostgreSQL Unicode\n");
        system.close();
        qputenv("ODBCINI", user.fileName().toLocal8Bit());
        qputenv("ODBCSYSINI", odbcDir.path().toLocal8Bit());
    }

    void sqlServerBrowserAnswers_data() {
        QTest::addColumn<QList<QByteArray>>("packets");
        QTest::addColumn<QStringList>("expected");
        const QByteArray two = "ServerName;DBHOST;InstanceName;SALES;IsClustered;No;Version;"
                               "16.0.1000.6;tcp;49721;;ServerName;DBHOST;InstanceName;HR;"
                               "IsClustered;No;Version;15.0.2000.5;tcp;49722;;";
        const QByteArray byDefault =
            "ServerName;OTHER;InstanceName;MSSQLSERVER;IsClustered;No;Version;16.0;tcp;1433;;";
        QTest::newRow("several instances in one answer")
            << QList<QByteArray>{answer(two)} << QStringList{"DBHOST\\HR", "DBHOST\\SALES"};
        QTest::newRow("default instance, twice")
            << QList<QByteArray>{answer(byDefault), answer(byDefault)} << QStringList{"OTHER"};
        QTest::newRow("malformed packets between good ones")
            << QList<QByteArray>{answer(two).left(20), QByteArray("\x05"), "garbage;;" + byDefault,
                                 answer("InstanceName;X;;"), answer(byDefault)}
            << QStringList{"OTHER"};
        QTest::newRow("no answer") << QList<QByteArray>{} << QStringList{};
    }
    void sqlServerBrowserAnswers() {
        QFETCH(QList<QByteArray>, packets);
        QFETCH(QStringList, expected);
        Responder responder(packets);
        QElapsedTimer clock;
        clock.start();
        const auto rows =
            enumerateSources("SQL Server Enumerator", {responder.port(), std::chrono::seconds(1)});
        QCOMPARE(names(rows), expected);
        QVERIFY(clock.elapsed() >= 900 && clock.elapsed() < 2000);
    }

    void mariaDbSocketsThatAcceptAreListed() {
        const std::filesystem::path path = "/tmp/mysql.sock";
        if (std::filesystem::exists(path))
            QSKIP("/tmp/mysql.sock belongs to something else here");
        const auto listed = [] { return names(enumerateSources("MariaDB Enumerator")); };
        {
            Descriptor listener{::socket(AF_UNIX, SOCK_STREAM, 0)};
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, path.c_str());
            QCOMPARE(::bind(listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            QCOMPARE(::listen(listener.fd, 1), 0);
            QVERIFY(listed().contains("/tmp/mysql.sock"));
        }
        // The socket file of a server that is gone is not a server.
        QVERIFY(!listed().contains("/tmp/mysql.sock"));
        std::filesystem::remove(path);
    }

    void odbcDataSourcesOfTheUserAndTheSystem() {
        const QStringList listed = names(enumerateSources("ODBC Enumerator"));
        QCOMPARE(listed, (QStringList{"Sales Figures", "Stock", "Payroll"}));
    }
};

QTEST_MAIN(TestServerEnumerators)
#include "tst_server_enumerators.moc"
