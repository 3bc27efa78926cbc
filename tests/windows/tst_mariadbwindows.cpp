// MariaDB through the server dialog's provider, as a user meets it: values
// typed into a table view are stored exactly and the ones not typed over
// stay as stored; a big table shows its first rows before it is read to
// the end and takes an edit meanwhile; a long statement is stopped on the
// server by Cancel.

#include "tests/support/CancelWhenShown.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Progress.h"

using namespace wintest;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The program connected to `db`, the window of `table` opened by a click in
// the tree.
struct MariaDbTable {
    Env env{""};
    DataWindow* w = nullptr;

    MariaDbTable(const mariadbtest::ScratchDatabase& db, const QString& table) {
        env.dm.connection.close();
        env.dm.connection.setConnectionString(db.connectionString());
        env.dm.connection.open();
        env.form.FillDatabaseTree();
        mainwin::showActive(env.form);
        mainwin::clickNode(env.form, mainwin::node(env.form, QStringLiteral("Tables"), table));
        w = mainwin::dataWindows(env.form).value(0);
    }
};

} // namespace

class TestMariaDbWindows : public QObject {
    Q_OBJECT
private slots:
    void init() {
        failOnConnectionWarnings();
        if (!mariadbtest::testServer()) {
            QSKIP("No MariaDB test server: VELDMARK_MARIADB_SOCKET is not set");
        }
    }
    void cleanup() { tk::ProgressGuard::setShowAfterMs(500); }

    // Typed text with accents and an emoji, a DECIMAL(65,30) at full width
    // and a BIT(8) reach the table as typed; a zero date, fractions of a
    // second and a BIT(1) not typed over are shown as stored and stay so.
    void typedValuesAreStoredExactly() {
        const mariadbtest::ScratchDatabase db("values");
        db.exec("CREATE TABLE vals (id INT PRIMARY KEY, name VARCHAR(40), amount DECIMAL(65,30), "
                "born DATE, stamp DATETIME(6), flag BIT(1), bits BIT(8));"
                "INSERT INTO vals VALUES (1, 'x', 1, '0000-00-00', '2024-02-29 23:59:58.000123', "
                "b'1', b'11');");
        MariaDbTable t(db, QStringLiteral("vals"));
        QVERIFY(t.w);
        const vdata::Query& q = t.w->query();
        QCOMPARE(q.cellText(0, 3), std::string("0000-00-00"));
        QCOMPARE(q.cellText(0, 4), std::string("2024-02-29 23:59:58.000123"));
        QCOMPARE(q.cellText(0, 6), std::string("3"));
        const QString name = QStringLiteral("Zoë Ångström 🎉");
        const std::string amount =
            "12345678901234567890123456789012345.123456789012345678901234567891";
        const gridtest::Driver d(t.w->master().Grid);
        // Keys beyond ASCII come as a key press with their text, as an
        // input method sends them.
        d.typeOver(0, 1, name.left(1));
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, name.mid(1),
                            Qt::NoModifier);
        d.typeOver(0, 2, QString::fromStdString(amount));
        d.typeOver(0, 6, QStringLiteral("200"));
        d.key(Qt::Key_Return);
        gridtest::press(t.w->master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(t.env.dialogs.texts(), QStringList());
        // The text as the bytes stored: the client's own character set
        // cannot show an emoji.
        QCOMPARE(mariadbtest::adminQuery(db.name(), "SELECT HEX(name), amount, born, stamp, "
                                                    "flag + 0, bits + 0 FROM vals"),
                 (Rows{{name.toUtf8().toHex().toUpper().toStdString(), amount, "0000-00-00",
                        "2024-02-29 23:59:58.000123", "1", "200"}}));
    }

    // The first rows show while the rest is still to be read; a value typed
    // meanwhile is saved at once and kept when the read ends.
    void aBigTableIsReadInStepsAndTakesAnEdit() {
        const mariadbtest::ScratchDatabase db("steps");
        db.exec("CREATE TABLE big (id INT PRIMARY KEY, n INT, note VARCHAR(20));"
                "INSERT INTO big SELECT seq, seq % 1000, CONCAT('row ', seq) "
                "FROM seq_1_to_300000;");
        MariaDbTable t(db, QStringLiteral("big"));
        QVERIFY(t.w && t.w->query().reading());
        QVERIFY(t.w->query().recordCount() < 300000);
        const gridtest::Driver d(t.w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("4242"));
        d.key(Qt::Key_Down);
        QVERIFY(t.w->query().reading());
        QCOMPARE(mariadbtest::adminQuery(db.name(), "SELECT n FROM big WHERE id = 1"),
                 (Rows{{"4242"}}));
        t.w->query().readAll();
        QCOMPARE(t.w->query().recordCount(), 300000);
        QCOMPARE(t.w->query().cellText(0, 1), std::string("4242"));
        QCOMPARE(t.w->query().cellText(299999, 2), std::string("row 300000"));
        QCOMPARE(t.env.dialogs.texts(), QStringList());
    }

    // Cancel in the progress dialog of a statement that would run half a
    // minute, alone or in a script, stops it on the server; nothing is
    // reported as an error, and nothing after it runs.
    void cancelStopsAStatementOnTheServer_data() {
        QTest::addColumn<bool>("script");
        QTest::newRow("alone") << false;
        QTest::newRow("script") << true;
    }
    void cancelStopsAStatementOnTheServer() {
        QFETCH(bool, script);
        const mariadbtest::ScratchDatabase db("cancel");
        Env env("");
        env.dm.connection.close();
        env.dm.connection.setConnectionString(db.connectionString());
        env.dm.connection.open();
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        w.show();
        QApplication::setActiveWindow(&w);
        gridtest::typeText(w, script
                                  ? QStringLiteral("SELECT SLEEP(30);\nCREATE TABLE later (i INT);")
                                  : QStringLiteral("SELECT SLEEP(30)"));
        tk::ProgressGuard::setShowAfterMs(0);
        const CancelWhenShown cancel(false);
        if (script) {
            QTest::keyClick(w.sqlBox(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            QTest::mouseClick(w.runButton(), Qt::LeftButton);
        }
        QVERIFY(cancel.pressed());
        QCOMPARE(env.dialogs.kinds(), QStringList());
        QCOMPARE(mariadbtest::adminQuery({}, "SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                             "WHERE INFO LIKE 'SELECT SLEEP%'"),
                 (Rows{{"0"}}));
        QCOMPARE(mariadbtest::adminQuery(db.name(), "SHOW TABLES"), Rows());
    }
};

QTEST_MAIN(TestMariaDbWindows)
#include "tst_mariadbwindows.moc"
