// A PostgreSQL table opened from the tree shows its first rows while the
// rest are read in steps: edits saved during the read reach the table at
// once and are not undone by rows read later, and a read stopped by the
// user, or cut off by the server, leaves nothing running there.

#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"

#include <QElapsedTimer>
#include <QTest>

using namespace wintest;

namespace {

constexpr int tableRows = 300000;

// The program connected to a database with one table too big to read at
// once.
struct Program {
    Env env{""};
    pgtest::ScratchDatabase pg{"stepread"};
    mainwin::SettingsFolder settings;

    Program() {
        pg.exec("CREATE TABLE big (id int PRIMARY KEY, h text); INSERT INTO big SELECT g, "
                "md5(g::text) FROM generate_series(1, " +
                std::to_string(tableRows) + ") g; ANALYZE big");
        env.dm.connection.close();
        env.dm.connection.setConnectionString(pg.connectionString());
        env.dm.connection.open();
        env.form.FillDatabaseTree();
        mainwin::showActive(env.form);
    }

    // Clicks the table in the tree without waiting for the read to end.
    DataWindow* openMidRead() {
        mainwin::clickNode(
            env.form, mainwin::node(env.form, QStringLiteral("Tables"), QStringLiteral("big")));
        const QList<DataWindow*> windows = mainwin::dataWindows(env.form);
        return windows.isEmpty() ? nullptr : windows.last();
    }
    std::string readBack(const std::string& sql) const { return pg.query(sql).at(0).at(0); }
    // Sessions of the server that run, or last ran, a read of the table.
    int readingSessions() const {
        return std::stoi(readBack("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                  "current_database() AND query LIKE 'COPY%'"));
    }
};

// As a user waits for the counter: every row read.
void awaitEnd(DataWindow& w) {
    QElapsedTimer waited;
    waited.start();
    while (w.query().reading() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

} // namespace

class TestStepReadPg : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
    }

    void editsDuringTheReadAreKept_data() {
        QTest::addColumn<bool>("add");
        QTest::addColumn<std::string>("id");
        QTest::newRow("value typed over") << false << std::string("1");
        QTest::newRow("row added") << true << std::to_string(tableRows + 1);
    }
    // A value typed into a shown row, or a row added, while the read runs is
    // saved at once; when the read ends the grid shows it once, as saved.
    void editsDuringTheReadAreKept() {
        QFETCH(bool, add);
        QFETCH(std::string, id);
        Program p;
        DataWindow* w = p.openMidRead();
        QVERIFY(w);
        QVERIFY(w->query().reading());
        QVERIFY(w->master().Grid->model()->rowCount() > 0);
        gridtest::Driver d(w->master().Grid);
        if (add) {
            gridtest::press(w->master().DBNavigator, tk::DBNavigator::Insert);
            d.typeOver(0, 0, tk::qs(id));
            d.key(Qt::Key_Tab);
            d.type(QStringLiteral("saved"));
        } else {
            d.typeOver(0, 1, QStringLiteral("saved"));
        }
        d.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(p.readBack("SELECT h FROM big WHERE id = " + id), std::string("saved"));
        QVERIFY(w->query().reading());

        awaitEnd(*w);
        QCOMPARE(p.env.dialogs.texts(), QStringList());
        QCOMPARE(std::to_string(w->query().recordCount()), p.readBack("SELECT count(*) FROM big"));
        QCOMPARE(w->master().Grid->model()->index(0, 0).data().toString(), tk::qs(id));
        QCOMPARE(w->master().Grid->model()->index(0, 1).data().toString(), QStringLiteral("saved"));
    }

    void stoppedReadLeavesNothingOnTheServer_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("reported");
        QTest::newRow("window closed") << "close" << QStringList();
        QTest::newRow("disconnected") << "disconnect" << QStringList();
        QTest::newRow("session ended by the server") << "terminate" << QStringList{"error"};
    }
    // The read runs on a session of its own, which is gone once the window
    // closes, the program disconnects, or the server ends it (which is
    // reported; the rows read stay).
    void stoppedReadLeavesNothingOnTheServer() {
        QFETCH(QString, how);
        QFETCH(QStringList, reported);
        Program p;
        DataWindow* w = p.openMidRead();
        QVERIFY(w);
        QVERIFY(w->query().reading());
        QCOMPARE(p.readingSessions(), 1);
        const int shown = w->query().recordCount();
        if (how == QLatin1String("close")) {
            p.env.closeActive();
        } else if (how == QLatin1String("disconnect")) {
            p.env.disconnect();
        } else {
            p.readBack("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE "
                       "datname = current_database() AND query LIKE 'COPY%'");
            awaitEnd(*w);
            QVERIFY(w->query().recordCount() >= shown);
            QVERIFY(w->query().recordCount() < tableRows);
            QVERIFY(p.env.dialogs.texts().join(QString()).contains(QStringLiteral("lost")));
        }
        QTRY_COMPARE_WITH_TIMEOUT(p.readingSessions(), 0, 2000);
        QCOMPARE(p.env.dialogs.kinds(), reported);
    }
};

QTEST_MAIN(TestStepReadPg)
#include "tst_stepread_pg.moc"
