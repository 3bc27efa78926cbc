// Saving in the real grid when the database does not answer as the program
// read it: a row another program changes while the save runs. Every outcome
// is read back through a second connection.

#include "tests/support/EngineDb.h"
#include "tests/support/GridDriver.h"
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

bool saysRowChanged(const QStringList& shown) {
    return shown.size() == 1 && shown.front().contains("changed or deleted by another user");
}

} // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT
private slots:
    void init() { failOnConnectionWarnings(); }
    void changeWhileSavingIsKept_data();
    void changeWhileSavingIsKept();
};

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
