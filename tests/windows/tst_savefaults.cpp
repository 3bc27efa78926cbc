// Saving in the real grid when the database does not answer as the program
// read it: a new row that is stored but cannot be read back, a row another
// program changes before the save or while it runs. Every outcome is read
// back through a second connection.

#include "tests/support/EngineDb.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"

#include <sqlite3.h>

using namespace wintest;
using enginetest::EngineDb;
using gridtest::Driver;
using gridtest::press;
using Nav = tk::DBNavigator;

namespace {

// While it lives, each SQLite connection opened is watched: once armed, the
// first statement that begins with `start` first lets `change` run on
// another connection, as another program would between two statements of
// the program.
class ChangeBeforeStatement {
public:
    ChangeBeforeStatement() {
        armed_ = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&watch));
    }
    ~ChangeBeforeStatement() {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&watch));
        armed_ = nullptr;
    }
    void arm(std::string start, std::function<void()> change) {
        start_ = std::move(start);
        change_ = std::move(change);
    }

private:
    static int watch(sqlite3* db, char**, const sqlite3_api_routines*) {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &started, nullptr);
        return SQLITE_OK;
    }
    // Runs as a statement starts, before it takes any lock.
    static int started(unsigned, void*, void*, void* sql) {
        if (armed_ && armed_->change_ &&
            std::string_view(static_cast<const char*>(sql)).starts_with(armed_->start_)) {
            std::exchange(armed_->change_, nullptr)();
        }
        return 0;
    }

    static inline ChangeBeforeStatement* armed_ = nullptr;
    std::string start_;
    std::function<void()> change_;
};

// A table window as the program opens it: a server's rows in key order.
std::unique_ptr<DataWindow> tableWindow(vdata::Connection& connection, const QString& table) {
    auto w = std::make_unique<DataWindow>(connection, DataWindow::Use::Table);
    w->setUp(table);
    return w;
}

bool saysRowChanged(const QStringList& shown) {
    return shown.size() == 1 && shown.front().contains("changed or deleted by another user");
}

} // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT
private slots:
    void init() { failOnConnectionWarnings(); }
    void rowNotReadBackIsSavedOnce_data();
    void rowNotReadBackIsSavedOnce();
    void cancelAfterConflictShowsTheDatabase_data() { enginetest::engines(false); }
    void cancelAfterConflictShowsTheDatabase();
    void changeWhileSavingIsKept_data();
    void changeWhileSavingIsKept();
};

void TestSaveFaults::rowNotReadBackIsSavedOnce_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<std::string>("script");
    // Run by the database's owner: on a server once the window is open, on
    // a SQLite file as the row is read back.
    QTest::addColumn<std::string>("change");
    QTest::addColumn<std::string>("login"); // added to the connection string
    QTest::addColumn<std::string>("table"); // where the rows are afterwards
    // The table renamed by another program between the insert and its read.
    QTest::newRow("sqlite") << QStringLiteral("sqlite")
                            << std::string("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT);"
                                           "INSERT INTO t (name) VALUES ('a');")
                            << std::string("ALTER TABLE t RENAME TO moved") << std::string()
                            << std::string("moved");
    // A key numbered without a sequence, so that lastval() has no value.
    if (pgtest::testServer()) {
        QTest::newRow("odbc-postgres")
            << QStringLiteral("odbc-postgres")
            << std::string("CREATE TABLE t (id bigint PRIMARY KEY DEFAULT txid_current(), "
                           "name text); INSERT INTO t (name) VALUES ('a');")
            << std::string() << std::string() << std::string("t");
    }
    // A user who may insert but no longer read.
    for (const char* maria : {"mariadb", "odbc-mariadb"}) {
        if (!mariadbtest::testServer()) {
            break;
        }
        QTest::newRow(maria)
            << QString::fromLatin1(maria)
            << std::string("CREATE TABLE t (id {autokey}, name VARCHAR(20));"
                           "INSERT INTO t (name) VALUES ('a');"
                           "CREATE OR REPLACE USER 'vt_saver'@'localhost' IDENTIFIED BY 'pw1';"
                           "GRANT SELECT, INSERT ON t TO 'vt_saver'@'localhost';")
            << std::string("REVOKE SELECT ON t FROM 'vt_saver'@'localhost'")
            << std::string(";uid=vt_saver;pwd=pw1") << std::string("t");
    }
}

// The new row is stored, then reading it back fails: the save says so, the
// row stays as typed, and saving again stores no second copy.
void TestSaveFaults::rowNotReadBackIsSavedOnce() {
    QFETCH(QString, engine);
    QFETCH(std::string, script);
    QFETCH(std::string, change);
    QFETCH(std::string, login);
    QFETCH(std::string, table);
    ChangeBeforeStatement other;
    EngineDb db(engine, script);
    Env env("");
    const auto connection = ProgramFixture::connectTo(db.connectionString() + login);
    auto w = tableWindow(*connection, QStringLiteral("t"));
    if (engine == QLatin1String("sqlite")) {
        other.arm("SELECT \"id\"", [&] { db.otherRuns(change); });
    } else if (!change.empty()) {
        db.otherRuns(change);
    }
    env.dialogs.clear();
    Driver d(w->master().Grid);
    Nav* nav = w->master().DBNavigator;
    press(nav, Nav::Insert);
    d.typeOver(0, 1, QStringLiteral("plain"));
    press(nav, Nav::Post);
    const QStringList shown = env.dialogs.texts();
    QVERIFY2(shown.size() == 1 && shown.front().startsWith("The row was saved, but it could not "
                                                           "be read back: "),
             qPrintable(shown.join('\n')));
    press(nav, Nav::Post);
    QCOMPARE(db.readBack("SELECT count(*) FROM " + table + " WHERE name = 'plain'"),
             std::string("1"));
    QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
    QCOMPARE(w->master().Grid->model()->index(0, 1).data().toString(), QStringLiteral("plain"));
}

// Another program changed the value after it was read: the save is refused,
// and Esc or the navigator's Cancel shows what the database holds now.
void TestSaveFaults::cancelAfterConflictShowsTheDatabase() {
    QFETCH(QString, engine);
    EngineDb db(engine, "CREATE TABLE stock (id INT PRIMARY KEY, qty INT);"
                        "INSERT INTO stock VALUES (1, 130), (2, 5);");
    Env env("");
    auto w = tableWindow(db.connection(), QStringLiteral("stock"));
    Driver d(w->master().Grid);
    for (const char* held : {"131", "132"}) {
        db.otherRuns("UPDATE stock SET qty = qty + 1 WHERE id = 1");
        d.typeOver(0, 1, QStringLiteral("140"));
        env.dialogs.clear();
        press(w->master().DBNavigator, Nav::Post);
        QVERIFY2(saysRowChanged(env.dialogs.texts()), qPrintable(env.dialogs.texts().join('\n')));
        if (held == std::string_view("131")) {
            d.key(Qt::Key_Escape);
        } else {
            press(w->master().DBNavigator, Nav::Cancel);
        }
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
        QCOMPARE(w->master().Grid->model()->index(0, 1).data().toString(), QString(held));
        QCOMPARE(db.readBack("SELECT qty FROM stock WHERE id = 1"), std::string(held));
    }
}

void TestSaveFaults::changeWhileSavingIsKept_data() {
    QTest::addColumn<std::string>("key");
    QTest::addColumn<bool>("remove"); // the save is a delete, else a typed value
    QTest::newRow("update by primary key") << std::string(" PRIMARY KEY") << false;
    QTest::newRow("update by values") << std::string() << false;
    QTest::newRow("delete by values") << std::string() << true;
}

// On a SQLite file another program changes the row after the save found it
// and before it writes: the save is refused and the change stays.
void TestSaveFaults::changeWhileSavingIsKept() {
    QFETCH(std::string, key);
    QFETCH(bool, remove);
    ChangeBeforeStatement other;
    EngineDb db("sqlite", "CREATE TABLE stock (id INT" + key +
                              ", qty INT); INSERT INTO stock VALUES (1, 130), (2, 5);");
    Env env("");
    auto w = baseWindow(db.connection(), "stock");
    Driver d(w->master().Grid);
    other.arm(remove ? "DELETE" : "UPDATE",
              [&db] { db.otherRuns("UPDATE stock SET qty = 131 WHERE id = 1"); });
    env.dialogs.clear();
    if (remove) {
        press(w->master().DBNavigator, Nav::Delete);
    } else {
        d.typeOver(0, 1, QStringLiteral("140"));
        press(w->master().DBNavigator, Nav::Post);
    }
    QStringList shown = env.dialogs.texts();
    shown.removeAll(QStringLiteral("Delete record?"));
    QVERIFY2(saysRowChanged(shown), qPrintable(shown.join('\n')));
    QCOMPARE(db.readRows("SELECT id, qty FROM stock ORDER BY id"), std::string("1|131;2|5;"));
}

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
