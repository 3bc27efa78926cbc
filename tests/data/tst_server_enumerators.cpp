// The server lists behind the server dialog's types: SQL Server instances by
// the SQL Server Browser protocol (against a responder on the loopback
// address) and the ODBC data sources of private user and system odbc.ini
// files. The dialog's test lists the MariaDB servers.
#include "data/providers/ServerEnumerator.h"
#include "tests/support/ServerResponders.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace vdata;
using responders::browserAnswer;

namespace {

QStringList names(const std::vector<SourceRow>& rows) {
    QStringList result;
    for (const SourceRow& row : rows)
        result << QString::fromStdString(row.name);
    return result;
}

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
            << QList<QByteArray>{browserAnswer(two)} << QStringList{"DBHOST\\HR", "DBHOST\\SALES"};
        QTest::newRow("default instance, twice")
            << QList<QByteArray>{browserAnswer(byDefault), browserAnswer(byDefault)}
            << QStringList{"OTHER"};
        QTest::newRow("malformed packets between good ones")
            << QList<QByteArray>{browserAnswer(two).left(20), QByteArray("\x05"),
                                 "garbage;;" + byDefault, browserAnswer("InstanceName;X;;"),
                                 browserAnswer(byDefault)}
            << QStringList{"OTHER"};
        QTest::newRow("no answer") << QList<QByteArray>{} << QStringList{};
    }
    void sqlServerBrowserAnswers() {
        QFETCH(QList<QByteArray>, packets);
        QFETCH(QStringList, expected);
        responders::BrowserResponder responder(packets);
        QElapsedTimer clock;
        clock.start();
        const auto rows =
            enumerateSources("SQL Server Enumerator", {responder.port(), std::chrono::seconds(1)});
        QCOMPARE(names(rows), expected);
        QVERIFY(clock.elapsed() >= 900 && clock.elapsed() < 2000);
    }

    void odbcDataSourcesOfTheUserAndTheSystem() {
        const QStringList listed = names(enumerateSources("ODBC Enumerator"));
        QCOMPARE(listed, (QStringList{"Sales Figures", "Stock", "Payroll"}));
    }
};

QTEST_MAIN(TestServerEnumerators)
#include "tst_server_enumerators.moc"
