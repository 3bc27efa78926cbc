// A PostgreSQL server that goes away under an open table view with an edit
// typed into its grid: a server that came back takes the edit on Save; one
// that is gone is reported, and Disconnect and Exit still work, naming the
// edit that was not saved. A MariaDB session ended by the server under a
// table view (native or through ODBC) is made again for the next read and
// the next Save, and a transaction lost with it is reported.

#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"

#include "data/service/Command.h"

using namespace wintest;

namespace {

// The first cell of `sql` read through a connection of its own.
std::string readBack(const std::string& connectionString, const std::string& sql) {
    vdata::Connection c;
    c.setConnectionString(connectionString);
    c.open();
    vdata::Query q(&c);
    q.setSQL(sql);
    q.open();
    return q.field(0).asString();
}

} // namespace

class TestLostServer : public QObject {
    Q_OBJECT
private slots:
    void init() { failOnConnectionWarnings(); }

    void savingAfterTheServerWentAway_data() {
        QTest::addColumn<bool>("comesBack");
        QTest::addColumn<QString>("leave"); // how the user leaves a server that is gone
        QTest::newRow("restarted") << true << QString();
        QTest::newRow("gone, then disconnect") << false << QStringLiteral("disconnect");
        QTest::newRow("gone, then exit") << false << QStringLiteral("exit");
    }
    void savingAfterTheServerWentAway() {
        if (!pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        QFETCH(bool, comesBack);
        QFETCH(QString, leave);
        pgtest::ThrowawayCluster cluster;
        QVERIFY2(cluster.start(), cluster.error().c_str());
        const std::string server = pgtest::connectionString(cluster.dataSource(), "postgres");
        Env env("");
        env.dm.connection.close();
        env.dm.connection.setConnectionString(server);
        vdata::Command create(&env.connection());
        env.dm.connection.open();
        create.setCommandText("CREATE TABLE items (id int PRIMARY KEY, city text);"
                              "INSERT INTO items VALUES (1, 'Split'), (2, 'Graz')");
        create.execute();
        env.form.FillDatabaseTree();
        mainwin::showActive(env.form);
        mainwin::clickNode(
            env.form, mainwin::node(env.form, QStringLiteral("Tables"), QStringLiteral("items")));
        QCOMPARE(mainwin::dataWindows(env.form).size(), 1);
        DataWindow* w = mainwin::dataWindows(env.form).first();
        const gridtest::Driver d(w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("Wien"));
        d.key(Qt::Key_Return); // the edit is typed but not saved
        if (comesBack) {
            QVERIFY2(cluster.restart(), cluster.error().c_str());
        } else {
            cluster.stop();
        }
        env.dialogs.clear();
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Post);
        if (comesBack) {
            QCOMPARE(env.dialogs.texts(), QStringList());
            QCOMPARE(readBack(server, "SELECT city FROM items WHERE id = 1"), std::string("Wien"));
            return;
        }
        QCOMPARE(env.dialogs.kinds(), QStringList{QStringLiteral("error")});
        QVERIFY2(env.dialogs.texts().first().contains(QLatin1String("server is gone")),
                 qPrintable(env.dialogs.texts().first()));
        env.dialogs.clear();
        if (leave == QLatin1String("disconnect")) {
            env.form.mnuDisconnect->trigger();
            QVERIFY(!env.dm.connection.connected());
        } else {
            QVERIFY(env.form.close());
        }
        QTRY_VERIFY(mainwin::dataWindows(env.form).isEmpty());
        const QStringList shown = env.dialogs.texts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(QLatin1String("\"items\"")) &&
                     shown.first().contains(QLatin1String("not saved")),
                 qPrintable(shown.first()));
    }

    // MariaDB, natively and through ODBC, ends the program's connection
    // (KILL from another session) under an open table view: Refresh reads
    // the rows again on a new connection, and a Save typed after another
    // KILL is written.
    void mariaDbConnectsAgainAfterTheServerEndedTheSession_data() {
        QTest::addColumn<bool>("odbc");
        QTest::addColumn<QString>("lostTransaction"); // what the message says of it
        QTest::newRow("mariadb") << false << QStringLiteral("rolled back the transaction");
        QTest::newRow("odbc-mariadb") << true << QStringLiteral("rolled it back");
    }
    void mariaDbConnectsAgainAfterTheServerEndedTheSession() {
        QFETCH(bool, odbc);
        QFETCH(QString, lostTransaction);
        if (!mariadbtest::testServer()) {
            QSKIP("No MariaDB test server: VELDMARK_MARIADB_SOCKET is not set");
        }
        const mariadbtest::ScratchDatabase db("lost");
        db.exec("CREATE TABLE items (id int PRIMARY KEY, city varchar(20));"
                "INSERT INTO items VALUES (1, 'Split'), (2, 'Graz')");
        const auto endProgramSessions = [&] {
            for (const auto& row : mariadbtest::adminQuery(
                     db.name(), "SELECT id FROM information_schema.processlist WHERE db = "
                                "DATABASE() AND id <> CONNECTION_ID()")) {
                mariadbtest::adminQuery({}, "KILL " + row.at(0));
            }
        };
        Env env("");
        env.dm.connection.close();
        env.dm.connection.setConnectionString(odbc ? db.odbcConnectionString()
                                                   : db.connectionString());
        env.dm.connection.open();
        env.form.FillDatabaseTree();
        mainwin::showActive(env.form);
        mainwin::clickNode(
            env.form, mainwin::node(env.form, QStringLiteral("Tables"), QStringLiteral("items")));
        DataWindow* w = mainwin::dataWindows(env.form).first();
        db.exec("UPDATE items SET city = 'Linz' WHERE id = 2");
        endProgramSessions();
        env.dialogs.clear();
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Refresh);
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(w->query().cellText(1, 1), std::string("Linz"));

        const gridtest::Driver d(w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("Wien"));
        d.key(Qt::Key_Return);
        endProgramSessions();
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(mariadbtest::adminQuery(db.name(), "SELECT city FROM items WHERE id = 1"),
                 (std::vector<std::vector<std::string>>{{"Wien"}}));

        // A transaction of the user's own is lost with the connection: the
        // next read says so, once.
        vdata::Command begin(&env.connection());
        begin.setCommandText("START TRANSACTION");
        begin.execute();
        endProgramSessions();
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Refresh);
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Refresh);
        QCOMPARE(env.dialogs.kinds(), QStringList{QStringLiteral("error")});
        QVERIFY2(env.dialogs.texts().first().contains(lostTransaction),
                 qPrintable(env.dialogs.texts().first()));
    }
};

QTEST_MAIN(TestLostServer)
#include "tst_lostserver.moc"
