// A table view shows its first rows at once and reads the rest while the
// user works: every row comes exactly once whatever the rowids, an edit or
// another program's write during the read is saved at once, a sort waits
// for the read (and Cancel keeps the rows read), and closing stops it.

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"
#include "tests/support/CancelWhenShown.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Progress.h"

#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMdiArea>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace wintest;

namespace {

constexpr int bigRows = 1000000;

const std::string bigScript = R"sql(
CREATE TABLE big (id INTEGER PRIMARY KEY, n INT, note TEXT);
WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c LIMIT 1000000)
  INSERT INTO big SELECT i, i % 1000, 'row ' || i FROM c;
)sql";

// The counter's forms: while reading (rows so far and "…"), stopped, done.
const QRegularExpression
    counterForm(QStringLiteral("^(Record \\d+ / \\d+(…| \\(reading stopped\\))?)?$"));

// The program on a file with the big table (made from the script, or a copy
// of `file`), its window opened by a click in the tree, as a user does,
// without waiting for the read.
struct BigTable {
    Env env{""};
    DataWindow* w = nullptr;

    explicit BigTable(const QString& file = {}) {
        if (file.isEmpty()) {
            testdb::run(env.path, bigScript);
        } else {
            env.dm.connection.close();
            QFile::remove(env.path);
            QFile::copy(file, env.path);
        }
        env.dm.connection.open();
        env.form.FillDatabaseTree();
        mainwin::showActive(env.form);
        mainwin::clickNode(
            env.form, mainwin::node(env.form, QStringLiteral("Tables"), QStringLiteral("big")));
        w = mainwin::dataWindows(env.form).value(0);
    }
    vdata::Query& query() const { return w->query(); }
    // Lets the program work until the read ends; every counter text shown
    // meanwhile has one of the counter's forms.
    bool readToTheEnd() const {
        QElapsedTimer waited;
        waited.start();
        while (query().reading() && waited.elapsed() < 60000) {
            QCoreApplication::processEvents();
            if (!counterForm.match(w->master().lblRecNo->text()).hasMatch()) {
                qWarning() << "counter:" << w->master().lblRecNo->text();
                return false;
            }
        }
        QCoreApplication::processEvents();
        return !query().reading();
    }
};

// Overwrites the page holding byte `offset` of the file from its header on,
// as a failing disk does.
void damagePage(const QString& path, qint64 offset) {
    constexpr qint64 pageSize = 4096;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(offset / pageSize * pageSize));
    file.write(QByteArray(64, '\xff'));
}

} // namespace

class TestStepRead : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    // Three million rows, 66 MiB: made once, copied for each case.
    QString hugeFile_ = dir_.filePath(QStringLiteral("huge.db"));

private slots:
    void initTestCase() {
        testdb::run(hugeFile_, "CREATE TABLE big (id INTEGER PRIMARY KEY, n INT, note TEXT);"
                               "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
                               "LIMIT 3000000) INSERT INTO big SELECT i, i % 1000, 'row ' || i "
                               "FROM c;");
    }
    void init() { failOnConnectionWarnings(); }
    void cleanup() { tk::ProgressGuard::setShowAfterMs(500); }

    // Each table read in steps shows exactly the rows SELECT * gives, in
    // its order: chunks of every size, sparse and negative rowids, and the
    // tables that cannot be read by rowid.
    void readsEveryRowOnce_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("lateInsert"); // after the read began, beyond the rows read
        QTest::newRow("several chunks")
            << QStringLiteral(
                   "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT);"
                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c LIMIT 40005)"
                   "  INSERT INTO t SELECT i, 'v' || i FROM c;")
            << QStringLiteral("INSERT INTO t (v) VALUES ('late')");
        QTest::newRow("sparse rowids")
            << QStringLiteral(
                   "CREATE TABLE t (v TEXT);"
                   "INSERT INTO t (rowid, v) VALUES (-5, 'a'), (0, 'b'), (1, 'c'), (70000, 'd'),"
                   "  (1000000000000, 'e'), (1000000000000000, 'f'), (9223372036854775807, 'g');"
                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c LIMIT 3000)"
                   "  INSERT INTO t (rowid, v) SELECT 100000 + i * 7, 'x' || i FROM c;")
            << QStringLiteral("INSERT INTO t (rowid, v) VALUES (50000, 'late')");
        QTest::newRow("smallest rowid")
            << QStringLiteral("CREATE TABLE t (v TEXT);"
                              "INSERT INTO t (rowid, v) VALUES (-9223372036854775808, 'min'),"
                              "  (2, 'two');")
            << QString();
        QTest::newRow("without rowid")
            << QStringLiteral(
                   "CREATE TABLE t (k TEXT PRIMARY KEY, v INT) WITHOUT ROWID;"
                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c LIMIT 5000)"
                   "  INSERT INTO t SELECT 'k' || i, i FROM c;")
            << QStringLiteral("INSERT INTO t VALUES ('late', 0)");
        QTest::newRow("view") << QStringLiteral(
                                     "CREATE TABLE b (v INT); INSERT INTO b VALUES (1), (2), (3);"
                                     "CREATE VIEW t AS SELECT v * 2 AS w FROM b;")
                              << QStringLiteral("INSERT INTO b VALUES (4)");
        QTest::newRow("empty") << QStringLiteral("CREATE TABLE t (v INT);")
                               << QStringLiteral("INSERT INTO t VALUES (1)");
        QTest::newRow("untyped") << QStringLiteral("CREATE TABLE t (a, b); INSERT INTO t VALUES "
                                                   "(NULL, x'00'), (1.5, 'z'), (2, NULL);")
                                 << QString();
    }
    void readsEveryRowOnce() {
        QFETCH(QString, script);
        QFETCH(QString, lateInsert);
        Env env("");
        testdb::run(env.path, script.toStdString());
        env.dm.connection.open();
        const auto other = env.other();
        vdata::Query whole(other.get());
        whole.setSQL("SELECT * FROM [t]");
        whole.open();
        whole.readAll();
        vdata::Query stepped(&env.connection());
        stepped.setTableView({"t", {}, std::nullopt});
        stepped.open();
        if (!lateInsert.isEmpty()) {
            other->engine().execute(lateInsert.toStdString(), {});
        }
        stepped.readAll();
        QVERIFY(!stepped.reading());
        QCOMPARE(stepped.recordCount(), whole.recordCount());
        for (int c = 0; c < whole.fieldCount(); ++c) {
            QCOMPARE(stepped.field(c).dataType(), whole.field(c).dataType());
            QCOMPARE(column(stepped, c), column(whole, c));
        }
    }

    // While the rest is read, a value typed into a shown row is saved at
    // once, and another program's write is not refused as locked; at the
    // end every row is there once, the typed value with it.
    void editsDuringTheReadAreSavedAtOnce() {
        BigTable big;
        QVERIFY(big.w && big.query().reading());
        QVERIFY(big.w->master().Grid->model()->rowCount() > 0);
        const auto other = big.env.other();
        other->engine().execute("UPDATE big SET note = 'elsewhere' WHERE id = 999999", {});
        gridtest::Driver d(big.w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("4242"));
        d.key(Qt::Key_Down);
        QVERIFY(big.query().reading());
        QCOMPARE(big.env.readBack("SELECT n FROM big WHERE id = 1"), std::string("4242"));
        QVERIFY(big.readToTheEnd());
        QCOMPARE(big.w->master().lblRecNo->text(), QStringLiteral("Record 2 / 1000000"));
        QCOMPARE(big.query().cellText(0, 1), std::string("4242"));
        QCOMPARE(big.query().cellText(bigRows - 1, 0), std::string("1000000"));
        QCOMPARE(big.query().cellText(999998, 2), std::string("elsewhere"));
        QCOMPARE(big.env.dialogs.kinds(), QStringList());
    }

    // A screen reader sends its next question when the last is answered:
    // after a question the read takes no step at once, so the next one does
    // not wait for it; without one the read goes on at every turn.
    void aScreenReadersQuestionIsNotFollowedByAStep() {
        BigTable big;
        QVERIFY(big.w && big.query().reading());
        // The bridge's object, to which the D-Bus thread queues each question.
        struct Bridge : QDBusVirtualObject {
            QString introspect(const QString&) const override { return {}; }
            bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
                return false;
            }
        } bridge;
        for (const bool asked : {false, true}) {
            const int before = big.query().recordCount();
            QTRY_VERIFY(big.query().recordCount() > before);
            const int read = big.query().recordCount();
            if (asked) {
                QMetaObject::invokeMethod(
                    &bridge, [] {}, Qt::QueuedConnection);
            }
            QCoreApplication::processEvents();
            QCOMPARE(big.query().recordCount() == read, asked);
        }
        QVERIFY(big.readToTheEnd());
        QCOMPARE(big.query().recordCount(), bigRows);
    }

    // A title click waits for the read with the progress dialog; Cancel
    // stops the read there, keeps the rows read and says so; Refresh reads
    // every row again.
    void sortWaitsForTheReadAndCancelKeepsTheRows() {
        BigTable big;
        QVERIFY(big.w && big.query().reading());
        tk::ProgressGuard::setShowAfterMs(0);
        {
            const CancelWhenShown cancel;
            QHeaderView* titles = big.w->master().Grid->horizontalHeader();
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                              QPoint(titles->sectionViewportPosition(1) + 5, 5));
            QVERIFY(cancel.pressed());
            QVERIFY2(cancel.label().startsWith(QStringLiteral("Rows read: ")),
                     qPrintable(cancel.label()));
        }
        const int kept = big.query().recordCount();
        QVERIFY(!big.query().reading() && kept > 0 && kept < bigRows);
        QCOMPARE(big.w->master().Grid->model()->rowCount(), kept);
        QCOMPARE(big.query().sort(), std::string());
        QCOMPARE(big.w->master().lblRecNo->text(),
                 QStringLiteral("Record 1 / %1 (reading stopped)").arg(kept));
        QCOMPARE(big.env.dialogs.kinds(), QStringList());

        tk::ProgressGuard::setShowAfterMs(500);
        gridtest::press(big.w->master().DBNavigator, tk::DBNavigator::Refresh);
        QVERIFY(big.readToTheEnd());
        QCOMPARE(big.w->master().lblRecNo->text(), QStringLiteral("Record 1 / 1000000"));
    }

    // A read that cannot go on ends with the reason and where it stopped,
    // keeps the rows read before in order and says on the counter that it
    // stopped: a damaged page anywhere in the file, another program holding
    // the file locked, a column another program added during the read.
    void aFailedReadStopsWithItsReason_data() {
        QTest::addColumn<qint64>("damageAt"); // -1: none
        QTest::addColumn<QString>("otherRuns");
        QTest::addColumn<QString>("reason");
        const QString damaged = QStringLiteral("database disk image is malformed.");
        for (const qint64 mib : {8, 30, 50, 60}) {
            QTest::addRow("damage at %lld MiB", mib) << mib * 1024 * 1024 << QString() << damaged;
        }
        QTest::newRow("locked") << qint64(-1) << QStringLiteral("BEGIN EXCLUSIVE")
                                << QStringLiteral("database is locked.");
        QTest::newRow("column added")
            << qint64(-1) << QStringLiteral("ALTER TABLE big ADD COLUMN extra TEXT DEFAULT 'EXTRA'")
            << QString::fromUtf8(vdata::tableChangedWhileRead);
    }
    void aFailedReadStopsWithItsReason() {
        QFETCH(qint64, damageAt);
        QFETCH(QString, otherRuns);
        QFETCH(QString, reason);
        const QString damaged = hugeFile_ + QStringLiteral(".damaged");
        if (damageAt >= 0) {
            QFile::remove(damaged);
            QVERIFY(QFile::copy(hugeFile_, damaged));
            damagePage(damaged, damageAt);
        }
        BigTable big(damageAt >= 0 ? damaged : hugeFile_);
        QVERIFY(big.w && big.query().reading());
        const auto other = big.env.other();
        if (!otherRuns.isEmpty()) {
            other->engine().execute(otherRuns.toStdString(), {});
        }
        QVERIFY(big.readToTheEnd());
        const int kept = big.query().recordCount();
        QVERIFY(kept >= int(vdata::Query::firstRows) && kept < 3000000);
        // A changed table needs Refresh, not a row number.
        const bool changed = reason == QString::fromUtf8(vdata::tableChangedWhileRead);
        QCOMPARE(big.env.dialogs.texts(),
                 QStringList(changed ? reason
                                     : QStringLiteral("The table could not be read past row %1: %2")
                                           .arg(tk::qs(vdata::groupedDigits(kept)), reason)));
        QCOMPARE(big.w->master().lblRecNo->text(),
                 QStringLiteral("Record 1 / %1 (reading stopped)").arg(kept));
        QCOMPARE(big.query().fieldCount(), 3);
        QCOMPARE(big.query().cellText(kept - 1, 0), std::to_string(kept));
        QCOMPARE(big.query().cellText(kept - 1, 2), "row " + std::to_string(kept));
    }

    // Closing the window stops the read at once and leaves the file free.
    void closingStopsTheRead() {
        BigTable big;
        QVERIFY(big.w && big.query().reading());
        QElapsedTimer closing;
        closing.start();
        big.env.closeActive();
        QCOMPARE(big.env.windowCount(), 0);
        QVERIFY2(closing.elapsed() < 500, qPrintable(QString::number(closing.elapsed())));
        const auto other = big.env.other();
        QCOMPARE(other->engine().execute("DELETE FROM big WHERE id = 5", {}), 1LL);
    }
};

QTEST_MAIN(TestStepRead)
#include "tst_stepread.moc"
