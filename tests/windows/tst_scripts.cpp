// Scripts in the freehand window on each engine: a result tab per result and
// the Messages tab, a script that stops at its first failure, the caret put
// where the engine places an error, and safe mode. What ran is read back
// through a second connection.

#include "tests/support/EngineSession.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"

#include "toolkit/SqlEditor.h"
#include "windows/DataSetPanel.h"
#include "windows/ScriptMessages.h"
#include "windows/ScriptResults.h"

#include <QTest>
#include <QToolButton>

namespace {

constexpr const char* tables =
    "CREATE TABLE items (id INT PRIMARY KEY, qty INT);"
    "INSERT INTO items VALUES (1, 10), (2, 20), (3, 30);"
    "CREATE TABLE d (i INT);"
    "INSERT INTO d VALUES (0), (1), (2), (3), (4), (5), (6), (7), (8), (9);"
    "CREATE TABLE many (i INT);"
    "INSERT INTO many SELECT a.i * 100 + b.i * 10 + c.i FROM d a, d b, d c;";

// The freehand window of the program, on a database made from `tables`.
struct Script {
    enginetest::Session session;
    DataWindow* window = nullptr;

    explicit Script(const QString& engine) : session(engine, tables) {
        session.env.form.FillDatabaseTree();
        mainwin::showActive(session.env.form);
        window = session.env.click(QStringLiteral("Misc"), QStringLiteral("Query"));
        session.env.dialogs.clear();
    }
    // Typed, then run with Ctrl+Shift+Return.
    void run(const QString& text) {
        gridtest::typeText(*window, text);
        QTest::keyClick(window->sqlBox(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    }
    QString message(int row, int column) const {
        const auto* messages = window->results()->findChild<ScriptMessages*>();
        const QTableWidgetItem* item = messages ? messages->item(row, column) : nullptr;
        return item ? item->text() : QString();
    }
    std::string readBack(const std::string& sql) const { return session.readBack(sql); }
    QStringList dialogs() const { return session.env.dialogs.texts(); }
};

} // namespace

class TestScripts : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void resultsGetTabsAndMessagesCount_data() { enginetest::engines(true); }
    void resultsGetTabsAndMessagesCount() {
        QFETCH(QString, engine);
        Script s(engine);
        s.run(QStringLiteral("SELECT id FROM items ORDER BY id;\n"
                             "UPDATE items SET qty = qty + 1 WHERE id > 1;\n"
                             "SELECT qty FROM items WHERE id = 3;"));
        const ScriptResults* tabs = s.window->results();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("SELECT id FROM items…"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Messages"));
        const QList<DataSetPanel*> results = tabs->results();
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.first(), &s.window->master());
        QCOMPARE(results.first()->Grid->model()->rowCount(), 3);
        QCOMPARE(results.last()->query().cellText(0, 0), std::string("31"));
        for (const auto& [row, line, rows] :
             {std::tuple{0, "1", "3 returned"}, std::tuple{1, "2", "2 affected"},
              std::tuple{2, "3", "1 returned"}}) {
            QCOMPARE(s.message(row, 0), QString::fromLatin1(line));
            QCOMPARE(s.message(row, 2), QString::fromLatin1(rows));
        }
        QCOMPARE(s.dialogs(), QStringList());
        QCOMPARE(s.readBack("SELECT SUM(qty) FROM items"), std::string("62"));
        // A single statement afterwards leaves its one result, without tabs.
        gridtest::typeAndRun(*s.window, QStringLiteral("SELECT id FROM items"));
        QCOMPARE(tabs->count(), 1);
        QVERIFY(s.window->query().active());
    }

    // A result of one table takes edits; one pending as the window closes
    // is saved.
    void aResultTabTakesEdits_data() { enginetest::engines(true); }
    void aResultTabTakesEdits() {
        QFETCH(QString, engine);
        Script s(engine);
        s.run(QStringLiteral("SELECT 1 AS one;\nSELECT id, qty FROM items WHERE id = 1;"));
        DataSetPanel* second = s.window->results()->results().value(1);
        QVERIFY(second);
        s.window->results()->setCurrentWidget(second);
        gridtest::Driver(second->Grid).typeOver(0, 1, QStringLiteral("99"));
        s.session.env.closeActive();
        QCOMPARE(s.session.env.windowCount(), 0);
        QCOMPARE(s.dialogs(), QStringList());
        QCOMPARE(s.readBack("SELECT qty FROM items WHERE id = 1"), std::string("99"));
    }

    // F3 searches again in the result that holds the keyboard.
    void searchAgainInAResultTab() {
        Script s(QStringLiteral("sqlite"));
        s.run(QStringLiteral("SELECT 1 AS one;\nSELECT id, qty FROM items ORDER BY id;"));
        DataSetPanel* second = s.window->results()->results().value(1);
        QVERIFY(second);
        s.window->results()->setCurrentWidget(second);
        QTest::mouseClick(second->edTrazi, Qt::LeftButton);
        QTest::keyClicks(second->edTrazi, QStringLiteral("2"));
        second->Grid->setFocus();
        QTest::keyClick(second->Grid, Qt::Key_F3);
        QCOMPARE(second->lblRecNo->text(), QStringLiteral("Record 2 / 3"));
    }

    void aFailureStopsTheScript_data() { enginetest::engines(true); }
    void aFailureStopsTheScript() {
        QFETCH(QString, engine);
        Script s(engine);
        s.run(QStringLiteral("UPDATE items SET qty = 0 WHERE id = 1;\n"
                             "SELECT id FROM items;\n"
                             "SELECT * FROM nosuch;\n"
                             "DELETE FROM items WHERE id = 2;"));
        QCOMPARE(s.message(0, 2), QStringLiteral("1 affected"));
        QCOMPARE(s.message(2, 0), QStringLiteral("3"));
        QVERIFY(s.message(2, 4).contains(QLatin1String("nosuch")));
        QVERIFY(s.message(3, 0).startsWith(QLatin1String("The script stopped at line 3")));
        QCOMPARE(s.message(4, 0), QString());
        QCOMPARE(s.dialogs(), QStringList());
        QCOMPARE(s.session.env.form.statusBar()->currentMessage(), s.message(3, 0));
        // The failed SELECT leaves no tab: the one result and the Messages.
        QCOMPARE(s.window->results()->results().size(), 1);
        QCOMPARE(s.window->results()->count(), 2);
        QCOMPARE(s.readBack("SELECT qty FROM items WHERE id = 1"), std::string("0"));
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM items"), std::string("3"));
    }

    void anErrorPutsTheCaretWhereItIs_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        QList<QString> engines{QStringLiteral("sqlite")};
        if (pgtest::testServer()) {
            engines << QStringLiteral("postgres");
        }
        if (mariadbtest::testServer()) {
            engines << QStringLiteral("mariadb");
        }
        for (const QString& engine : engines) {
            const auto row = [&](const char* how, const char* text) {
                QTest::newRow(qPrintable(engine + QLatin1Char(' ') + QLatin1String(how)))
                    << engine << QString::fromLatin1(how) << QString::fromLatin1(text);
            };
            row("script", "SELECT 1;\nSELECT id FROM items\nWHERE id = = 1;\nSELECT 2;");
            row("refresh", "SELECT id\nFROM items\nWHERE id = = 1");
            row("ctrl+return", "SELECT 1;\nSELECT id FROM items\nWHERE id = = 1");
            row("selection", "UPDATE items SET qty = 1;\nSELECT id FROM items\nWHERE id = = 1");
        }
    }
    // The second '=' on line 3 is the engine's place for the error.
    void anErrorPutsTheCaretWhereItIs() {
        QFETCH(QString, engine);
        QFETCH(QString, how);
        QFETCH(QString, text);
        Script s(engine);
        QString message;
        if (how == QLatin1String("script")) {
            s.run(text);
            message = s.message(1, 4);
            QCOMPARE(s.message(3, 0), QString()); // the last statement never ran
        } else {
            gridtest::typeText(*s.window, text);
            if (how == QLatin1String("refresh")) {
                QTest::mouseClick(s.window->runButton(), Qt::LeftButton);
            } else {
                if (how == QLatin1String("selection")) {
                    QTest::keyClick(s.window->sqlBox(), Qt::Key_A, Qt::ControlModifier);
                }
                QTest::keyClick(s.window->sqlBox(), Qt::Key_Return, Qt::ControlModifier);
            }
            message = s.dialogs().value(0);
        }
        QVERIFY2(message.endsWith(QLatin1String(" (line 3, column 12)")), qPrintable(message));
        int line = -1;
        int column = -1;
        s.window->sqlBox()->getCursorPosition(&line, &column);
        QCOMPARE(line, 2);
        QCOMPARE(column, 11);
    }

    void safeModeAsksBeforeChangingEveryRow_data() { enginetest::engines(true); }
    void safeModeAsksBeforeChangingEveryRow() {
        QFETCH(QString, engine);
        Script s(engine);
        const QString text =
            QStringLiteral("UPDATE many SET i = 0;\nDELETE FROM items WHERE id = 1;");
        const QString question = QStringLiteral("This changes all 1,000 rows of many. Run it?");
        s.session.env.dialogs.confirmAnswers = {false};
        gridtest::typeText(*s.window, text);
        QTest::mouseClick(s.window->runAllButton(), Qt::LeftButton);
        QCOMPARE(s.dialogs(), QStringList{question});
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM many WHERE i = 0"), std::string("1"));
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM items"), std::string("3"));
        QVERIFY(s.message(1, 0).startsWith(QLatin1String("The script stopped at line 1")));

        s.session.env.dialogs.clear();
        s.session.env.dialogs.confirmAnswers = {true};
        QTest::mouseClick(s.window->runAllButton(), Qt::LeftButton);
        QCOMPARE(s.dialogs(), QStringList{question});
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM many WHERE i = 0"), std::string("1000"));
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM items"), std::string("2"));

        // A single statement asks too; without safe mode nothing asks.
        s.session.env.dialogs.clear();
        s.session.env.dialogs.confirmAnswers = {false};
        gridtest::typeAndRun(*s.window, QStringLiteral("DELETE FROM items"));
        QCOMPARE(s.dialogs(), QStringList{"This changes all 2 rows of items. Run it?"});
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM items"), std::string("2"));
        s.session.env.dialogs.clear();
        s.window->safeModeBox()->click();
        gridtest::typeAndRun(*s.window, QStringLiteral("DELETE FROM items"));
        QCOMPARE(s.dialogs(), QStringList{"2 record affected"});
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM items"), std::string("0"));
    }
};

QTEST_MAIN(TestScripts)
#include "tst_scripts.moc"
