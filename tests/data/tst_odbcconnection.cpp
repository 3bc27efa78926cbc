// The ODBC engine's connection strings: what the dialog's keys become in the
// driver's own string, and connections that cannot be made.
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/providers/OdbcConnectionString.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"

#include <QtTest>

using namespace vdata;

class TestOdbcConnection : public QObject {
    Q_OBJECT
private slots:
    void driverString_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("drivers");
        QTest::addColumn<QString>("driverString");
        const QStringList both{"ODBC Driver 18 for SQL Server", "FreeTDS", "MariaDB Unicode"};
        const QStringList microsoft{"SQLite3", "ODBC Driver 18 for SQL Server"};
        QTest::newRow("SQL Server instance, FreeTDS first, login")
            << "Server Type=SQL Server;Data Source=db1\\SALES;Initial "
               "Catalog=Shop;uid=ann;pwd=\"a;b}\""
            << both
            << "DRIVER=FreeTDS;SERVER=db1\\SALES;ClientCharset=UTF-8;DATABASE=Shop;UID=ann;PWD={a;"
               "b}}};";
        QTest::newRow("SQL Server port, FreeTDS, integrated security")
            << "Server Type=SQL Server;Data Source=db1,1433;Initial Catalog=Shop;Integrated "
               "Security=SSPI"
            << both
            << "DRIVER=FreeTDS;SERVER=db1;PORT=1433;ClientCharset=UTF-8;DATABASE=Shop;"
               "Trusted_Connection=Yes;";
        QTest::newRow("SQL Server port, Microsoft's driver")
            << "Server Type=SQL Server;Data Source=db1,1433;Integrated Security=SSPI" << microsoft
            << "DRIVER=ODBC Driver 18 for SQL Server;SERVER=db1,1433;Trusted_Connection=Yes;";
        QTest::newRow("MariaDB socket, operating-system login")
            << "Server Type=MariaDB;Data Source=/run/mysqld/mysqld.sock;Initial "
               "Catalog=shop;Integrated Security=SSPI"
            << both
            << "DRIVER=MariaDB Unicode;SERVER=localhost;SOCKET=/run/mysqld/mysqld.sock;"
               "DATABASE=shop;UID=osuser;OPTION=67108866;";
        QTest::newRow("MariaDB host and port")
            << "Server Type=MariaDB;Data Source=db2,3307;uid=ann;pwd=pw" << both
            << "DRIVER=MariaDB Unicode;SERVER=db2;PORT=3307;UID=ann;PWD=pw;OPTION=67108866;";
        QTest::newRow("data source keeps its own login")
            << "Server Type=ODBC;Data Source=Sales DB;Integrated Security=SSPI" << both
            << "DSN=Sales DB;";
    }
    void driverString() {
        QFETCH(QString, keys);
        QFETCH(QStringList, drivers);
        QFETCH(QString, driverString);
        std::vector<std::string> names;
        for (const QString& d : drivers) {
            names.push_back(d.toStdString());
        }
        QCOMPARE(QString::fromStdString(
                     odbcConnectionText(ConnectionString(keys.toStdString()), names, "osuser")),
                 driverString);
    }

    // Each failure says what is missing and is a connection failure.
    void refusedConnections_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown server type") << "Server Type=Oracle"
                                             << "Server type 'Oracle'";
        QTest::newRow("no MariaDB server") << "Server Type=MariaDB;Data Source=/nonexistent/my.sock"
                                           << "/nonexistent/my.sock";
        QTest::newRow("no such data source") << "Server Type=ODBC;Data Source=veldmark_none"
                                             << "Data source name not found";
    }
    void refusedConnections() {
        QFETCH(QString, keys);
        QFETCH(QString, message);
        Connection c;
        c.setConnectionString("Provider=ODBC;" + keys.toStdString());
        const std::optional<DataError> refused = testdb::failureOf([&] { c.open(); });
        QVERIFY(refused);
        QVERIFY2(QString(refused->what()).contains(message), refused->what());
        QCOMPARE(refused->kind(), ErrorKind::Connection);
    }

    // The database list holds the server's user databases, not its own.
    void mariaDbListsDatabases() {
        if (!mariadbtest::testServer()) {
            QSKIP("No MariaDB test server: VELDMARK_MARIADB_SOCKET is not set");
        }
        const mariadbtest::ScratchDatabase scratch("catalogs");
        Connection c;
        c.setConnectionString("Provider=ODBC;Server Type=MariaDB;Data Source=" +
                              mariadbtest::testServer()->socket + ";Integrated Security=SSPI");
        const std::vector<std::string> names = c.catalogNames();
        QVERIFY(std::find(names.begin(), names.end(), scratch.name()) != names.end());
        QVERIFY(std::find(names.begin(), names.end(), "mysql") == names.end());
    }
};

QTEST_GUILESS_MAIN(TestOdbcConnection)
#include "tst_odbcconnection.moc"
