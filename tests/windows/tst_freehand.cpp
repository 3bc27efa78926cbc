// The freehand query runner on a real SQLite file: which texts run as
// queries and which as statements, the count message, errors, and what the
// grid, the counter and the search-column list show afterwards.

#include "tests/support/EngineSession.h"
#include "tests/support/GridDriver.h"
#include "tests/support/WindowTestEnv.h"

#include "toolkit/Cursors.h"
#include "toolkit/FindBar.h"
#include "toolkit/SqlEditor.h"
#include "toolkit/SqlHighlighter.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace wintest;

namespace {

void run(DataWindow& w, const QString& text) {
    w.sqlBox()->setText(text);
    w.runButton()->click();
}

// The window shown and active, with the keyboard in its SQL editor.
tk::SqlEditor* typeInto(DataWindow& w) {
    w.show();
    QApplication::setActiveWindow(&w);
    w.sqlBox()->setFocus();
    return w.sqlBox();
}

} // namespace

using gridtest::typeAndRun;

class TestFreehand : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void firstWord_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("word");
        const auto row = [](const char* tag, const char* line, const char* word) {
            QTest::newRow(tag) << QString::fromUtf8(line) << QString::fromUtf8(word);
        };
        row("capitals", "SELECT * FROM t", "select");
        row("capital first", "Select x", "select");
        row("leading blanks and tab", " \t  select 1", "select");
        row("parenthesis", "(select 1)", "(select");
        row("single word", "  Select  ", "select");
        row("tab ends the word", "select\t*", "select");
        row("empty", "", "");
        row("non-ASCII kept", "ŠELECT x", "Šelect");
    }
    void firstWord() {
        QFETCH(QString, line);
        QFETCH(QString, word);
        QCOMPARE(DataWindow::firstWord(line), word);
    }

    void selectsInAnyCaseFillTheGrid() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        for (const QString& text :
             {QStringLiteral("SELECT * FROM Orders"),
              QStringLiteral("   select * FROM Orders WHERE Amount > 100"),
              QStringLiteral("select\n* from Orders"), // a single-word first line too
              QStringLiteral("Select OrderID FROM Orders\nWHERE Amount = 100")}) {
            run(w, text);
            QVERIFY2(w.query().active(), qPrintable(text));
        }
        QCOMPARE(w.query().recordCount(), 1);
        QCOMPARE(w.query().sql(), std::string("Select OrderID FROM Orders\r\nWHERE Amount = 100"));
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 1"));
        QCOMPARE(w.master().Grid->model()->rowCount(), 1);
        QCOMPARE(env.dialogs.shown.size(), 0);
        // Sorting works on the new result; the search list follows it.
        run(w, QStringLiteral("SELECT * FROM Orders"));
        emit w.master().Grid->titleClick(w.master().Grid, QStringLiteral("Amount"));
        emit w.master().Grid->titleClick(w.master().Grid, QStringLiteral("Amount"));
        QCOMPARE(w.query().cellText(0, 3), std::string("400"));
        QCOMPARE(w.master().cboTraziPo->count(), 4);
        // Ctrl+Return in the SQL box runs it as the button does.
        w.sqlBox()->setText(QStringLiteral("SELECT OrderID FROM Orders WHERE Amount > 250"));
        w.show();
        QApplication::setActiveWindow(&w);
        w.sqlBox()->setFocus();
        QTest::keyClick(w.sqlBox(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(w.query().recordCount(), 2);
        QCOMPARE(w.sqlBox()->text().count(QLatin1Char('\n')), 0);
    }

    void otherTextsRunAsStatements() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        run(w, QStringLiteral("(select * from Orders)"));
        QVERIFY(!w.query().active());
        QCOMPARE(env.count("information") + env.count("error"), 1);
        env.dialogs.clear();
        run(w, QStringLiteral("[Enter SQL query here]"));
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, QStringLiteral("Error"));
        QVERIFY(!env.dialogs.shown.first().text.isEmpty());
        env.dialogs.clear();
        run(w, QString());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, QStringLiteral("Error"));
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        env.dialogs.clear();
        run(w, QStringLiteral("SELECT * FROM NoSuchTable")); // a failed query
        QVERIFY(!w.query().active());
        QCOMPARE(env.count("error"), 1);
        QVERIFY(env.dialogs.shown.first().text.contains(QStringLiteral("NoSuchTable")));
    }

    void statementReportsTheCountAndChangesTheRows() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        run(w, QStringLiteral("SELECT * FROM Orders"));
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        run(w, QStringLiteral("UPDATE Orders SET Amount = Amount + 1\nWHERE CustomerID = 'ALFKI'"));
        QCOMPARE(env.count("information"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, QStringLiteral("Information"));
        QCOMPARE(env.dialogs.shown.first().text, QStringLiteral("3 record affected"));
        QCOMPARE(env.readBack("SELECT SUM(Amount) FROM Orders WHERE CustomerID = 'ALFKI'"),
                 std::string("703"));
        // The grid is empty now, the counter keeps its text, the list is empty.
        QVERIFY(!w.query().active());
        QCOMPARE(w.master().Grid->model()->rowCount(), 0);
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        QCOMPARE(w.master().cboTraziPo->count(), 0);
    }

    void textsThatReturnRowsFillTheGrid_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("first"); // the first cell shown
        const auto row = [](const char* engine, const char* tag, const char* text, int rows,
                            const char* first) {
            if ((QByteArray(engine) == "postgres" && !pgtest::testServer()) ||
                (QByteArray(engine) == "mariadb" && !mariadbtest::testServer())) {
                return;
            }
            QTest::newRow((QByteArray(engine) + " " + tag).constData())
                << QString::fromLatin1(engine) << QString::fromUtf8(text) << rows
                << QString::fromUtf8(first);
        };
        for (const char* engine : {"sqlite", "postgres"}) {
            row(engine, "with", "WITH t AS (SELECT 7 AS n) SELECT n FROM t", 1, "7");
            row(engine, "values", "VALUES (3), (4)", 2, "3");
            row(engine, "comment first", "-- the big ones\nSELECT 5", 1, "5");
            row(engine, "explain", "EXPLAIN SELECT * FROM \"Orders\"", -1, "");
        }
        row("sqlite", "pragma", "PRAGMA table_info(\"Orders\")", 2, "0");
        row("sqlite", "insert returning",
            "INSERT INTO \"Orders\" VALUES (9, 90) RETURNING \"Amount\" + 1", 1, "91");
        row("postgres", "show", "SHOW DateStyle", 1, "ISO, YMD");
        row("postgres", "insert in with",
            "WITH n AS (INSERT INTO \"Orders\" VALUES (9, 90) RETURNING \"Amount\")\n"
            "SELECT \"Amount\" + 1 FROM n",
            1, "91");
        // On MariaDB "x" is a string, as in its own client.
        row("mariadb", "a string in double quotes",
            "SELECT ID FROM Orders WHERE Amount = 10 AND \"AC/DC\" = 'AC/DC'", 1, "1");
        row("mariadb", "a string compared with a column",
            "SELECT COUNT(*) FROM Orders WHERE \"Amount\" = Amount OR ID > 1", 1, "0");
    }
    // Texts that return rows but do not begin with "select" show their rows
    // as a select does, and run once: an insert that returns rows inserts one.
    void textsThatReturnRowsFillTheGrid() {
        QFETCH(QString, engine);
        QFETCH(QString, text);
        QFETCH(int, rows);
        QFETCH(QString, first);
        enginetest::Session s(engine, "CREATE TABLE \"Orders\" (\"ID\" INT, \"Amount\" INT);"
                                      "INSERT INTO \"Orders\" VALUES (1, 10);");
        DataWindow w(s.env.connection(), DataWindow::Use::Freehand);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        typeAndRun(w, text);
        QCOMPARE(s.env.dialogs.texts(), QStringList());
        QVERIFY(w.query().active());
        const QAbstractItemModel* grid = w.master().Grid->model();
        if (rows >= 0) {
            QCOMPARE(grid->rowCount(), rows);
            QCOMPARE(grid->index(0, 0).data().toString(), first);
        } else {
            QVERIFY(grid->rowCount() > 0);
        }
        QCOMPARE(s.readBack("SELECT COUNT(*) FROM \"Orders\""),
                 std::string(text.contains(QLatin1String("INSERT")) ? "2" : "1"));
    }

    void selectTextsWithoutRowsRunOnce_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // the one message shown
        QTest::addColumn<QString>("copied");  // rows in t afterwards; empty: no t
        const auto row = [](const char* engine, const char* tag, const char* text,
                            const char* message, const char* copied) {
            if (QByteArray(engine) == "postgres" && !pgtest::testServer()) {
                return;
            }
            QTest::newRow((QByteArray(engine) + " " + tag).constData())
                << QString::fromLatin1(engine) << QString::fromUtf8(text)
                << QString::fromUtf8(message) << QString::fromUtf8(copied);
        };
        row("postgres", "select into", "SELECT * INTO t FROM \"Orders\"", "2 record affected", "2");
        row("postgres", "select into, two lines",
            "select \"ID\"\ninto t from \"Orders\" where \"Amount\" > 10", "1 record affected",
            "1");
        row("sqlite", "select into", "SELECT * INTO t FROM \"Orders\"",
            "near \"INTO\": syntax error (line 1, column 10)", "");
    }
    // A select text that returns no rows runs as a statement, once, and
    // reports its count; where the engine has no such statement it says so.
    void selectTextsWithoutRowsRunOnce() {
        QFETCH(QString, engine);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, copied);
        enginetest::Session s(engine, "CREATE TABLE \"Orders\" (\"ID\" INT, \"Amount\" INT);"
                                      "INSERT INTO \"Orders\" VALUES (1, 10), (2, 20);");
        DataWindow w(s.env.connection(), DataWindow::Use::Freehand);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        typeAndRun(w, text);
        QCOMPARE(s.env.dialogs.texts(), QStringList{message});
        QVERIFY(!w.query().active());
        if (!copied.isEmpty()) {
            QCOMPARE(s.readBack("SELECT COUNT(*) FROM t"), copied.toStdString());
        }
    }

    // The SQL text is coloured as the tokenizer reads it: a "--" or ";"
    // inside a string is no comment, a quoted name is no string, ":p" is
    // a parameter and "::" a cast.
    void highlightingFollowsTheTokenizer() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = w.sqlBox();
        const QString text =
            QStringLiteral("select '--;' AS \"x y\", 12 -- note\nFROM t WHERE a = :p::int");
        editor->setText(text);
        editor->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0, -1);
        const auto styleAt = [&](const QString& part, int skip = 0) {
            const auto at = static_cast<unsigned long>(text.indexOf(part) + skip);
            return int(editor->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, at));
        };
        using H = tk::SqlHighlighter;
        QCOMPARE((QList<int>{styleAt("select"), styleAt("'--;'", 1), styleAt("\"x y\""),
                             styleAt("12"), styleAt("-- note", 3), styleAt("FROM"),
                             styleAt(":p", 1), styleAt("int"), styleAt("t WHERE")}),
                 (QList<int>{H::Keyword, H::String, H::QuotedName, H::Number, H::Comment,
                             H::Keyword, H::Parameter, H::Default, H::Default}));
    }

    // MariaDB reads "x" as a string and '#' as a comment; an edit in the
    // middle of a comment that spans lines, or one that opens a string,
    // restyles what follows as the whole text would be read.
    void highlightingFollowsTheEngineAndEdits() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        const auto styleAt = [&](const QString& part) {
            const auto at =
                static_cast<unsigned long>(editor->text().toUtf8().indexOf(part.toUtf8()));
            editor->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0, -1);
            return int(editor->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, at));
        };
        using H = tk::SqlHighlighter;
        editor->setSqlFamily(vdata::SqlFamily::MySql);
        editor->setText(QStringLiteral("SELECT \"AC/DC\" # note\nFROM t AUTO_INCREMENT"));
        QCOMPARE((QList<int>{styleAt("AC/DC"), styleAt("note"), styleAt("AUTO_")}),
                 (QList<int>{H::String, H::Comment, H::Keyword}));
        editor->setSqlFamily(vdata::SqlFamily::Postgres);
        QCOMPARE((QList<int>{styleAt("AC/DC"), styleAt("# note"), styleAt("AUTO_")}),
                 (QList<int>{H::QuotedName, H::Default, H::Default}));

        editor->setText(QStringLiteral("/* a\nb\nSELECT */ SELECT 1\nFROM t"));
        QCOMPARE(styleAt("SELECT 1"), int(H::Keyword));
        editor->setCursorPosition(2, 0);
        QTest::keyClicks(editor, QStringLiteral("x"));
        QCOMPARE((QList<int>{styleAt("xSELECT"), styleAt("SELECT 1")}),
                 (QList<int>{H::Comment, H::Keyword}));
        editor->setCursorPosition(1, 1);
        QTest::keyClicks(editor, QStringLiteral("*/ '"));
        QCOMPARE((QList<int>{styleAt("xSELECT"), styleAt("FROM")}),
                 (QList<int>{H::String, H::String}));
        QTest::keyClick(editor, Qt::Key_Backspace);
        QCOMPARE((QList<int>{styleAt("xSELECT"), styleAt("FROM")}),
                 (QList<int>{H::Default, H::Keyword}));
    }

    // Ctrl+Return runs the statement under the caret (a blank line or a ';'
    // in a comment ends none), or the selection; on every engine.
    void ctrlReturnRunsTheStatementUnderTheCaret_data() { enginetest::engines(true); }
    void ctrlReturnRunsTheStatementUnderTheCaret() {
        QFETCH(QString, engine);
        enginetest::Session s(engine, "CREATE TABLE Orders (OrderID INT, Amount INT);"
                                      "INSERT INTO Orders VALUES (1, 100), (2, 200), (3, 300);");
        DataWindow w(s.env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier); // over the placeholder
        const auto line = [&](const QString& text) {
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
        };
        line(QStringLiteral("UPDATE Orders SET Amount = 1 WHERE OrderID = 1;"));
        line(QString());
        line(QStringLiteral("UPDATE Orders SET Amount = 2 -- not the end;"));
        line(QString());
        QTest::keyClicks(editor, QStringLiteral("WHERE OrderID = 2"));
        const auto amounts = [&] {
            std::string all;
            for (const char* id : {"1", "2", "3"}) {
                all += s.readBack(std::string("SELECT Amount FROM Orders WHERE OrderID = ") + id) +
                       " ";
            }
            return all;
        };
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(amounts(), std::string("100 2 300 "));
        QTest::keyClick(editor, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(amounts(), std::string("1 2 300 "));
        editor->setText(QStringLiteral("UPDATE Orders SET Amount = 3 WHERE OrderID = 3; junk"));
        editor->setSelection(0, 0, 0, 47);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(amounts(), std::string("1 2 3 "));
        QCOMPARE(s.env.dialogs.texts(), QStringList(3, QStringLiteral("1 record affected")));
    }

    // Ctrl+F finds with Return and Shift+Return, wrapping at the ends;
    // Ctrl+H replaces all matches as one undo step; Escape gives the
    // keyboard back to the text.
    void findAndReplace() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        const QString text = QStringLiteral("SELECT id FROM t;\nselect ID from u -- Id");
        editor->setText(text);
        editor->setCursorPosition(0, 0);
        QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
        tk::FindBar* bar = editor->findBar();
        QVERIFY(bar->isVisible());
        QTest::keyClicks(bar->findBox(), QStringLiteral("id"));
        QList<QPoint> found;
        const auto press = [&](Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(bar->findBox(), Qt::Key_Return, modifiers);
            int line = 0;
            int index = 0;
            editor->getCursorPosition(&line, &index);
            found << QPoint(line, index);
        };
        for (int i = 0; i < 4; ++i) {
            press(Qt::NoModifier);
        }
        press(Qt::ShiftModifier);
        QCOMPARE(found, (QList<QPoint>{{0, 9}, {1, 9}, {1, 22}, {0, 9}, {1, 22}}));
        QTest::keyClick(bar->findBox(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(editor->hasFocus());

        QTest::keyClick(editor, Qt::Key_H, Qt::ControlModifier);
        bar->findBox()->selectAll();
        QTest::keyClicks(bar->findBox(), QStringLiteral("ID"));
        QTest::keyClicks(bar->replaceBox(), QStringLiteral("\"Key\""));
        QCOMPARE(bar->replaceAll(), 3);
        QCOMPARE(editor->text(),
                 QStringLiteral("SELECT \"Key\" FROM t;\nselect \"Key\" from u -- \"Key\""));
        editor->undo();
        QCOMPARE(editor->text(), text);
    }

    // A PostgreSQL function body between dollar quotes holds ';' that end
    // nothing: Ctrl+Return in the body runs the whole CREATE FUNCTION.
    void dollarQuotedBodyRunsWhole() {
        if (!pgtest::testServer()) {
            QSKIP("no PostgreSQL test server");
        }
        enginetest::Session s(QStringLiteral("postgres"), "SELECT 1");
        DataWindow w(s.env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        editor->setText(QStringLiteral("CREATE FUNCTION seven() RETURNS int AS $body$\n"
                                       "BEGIN\n  RETURN 7; -- ; here too\nEND;\n"
                                       "$body$ LANGUAGE plpgsql;\nSELECT seven();"));
        editor->setCursorPosition(2, 4);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(s.readBack("SELECT seven()"), std::string("7"));
    }

    // Ctrl+/ comments the selected lines out, and in again; undo takes the
    // whole change back at once.
    void ctrlSlashTogglesComments() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        const QString text = QStringLiteral("SELECT 1\n  FROM t\nWHERE 2");
        editor->setText(text);
        editor->setSelection(0, 3, 1, 4);
        QTest::keyClick(editor, Qt::Key_Slash, Qt::ControlModifier);
        QCOMPARE(editor->text(), QStringLiteral("-- SELECT 1\n--   FROM t\nWHERE 2"));
        editor->setSelection(0, 0, 1, 2);
        QTest::keyClick(editor, Qt::Key_Slash, Qt::ControlModifier);
        QCOMPARE(editor->text(), text);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->text(), QStringLiteral("-- SELECT 1\n--   FROM t\nWHERE 2"));
    }

    void emptyResultLeavesTheCounter() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        run(w, QStringLiteral("SELECT * FROM Orders WHERE OrderID = 3"));
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 1"));
        run(w, QStringLiteral("SELECT * FROM Orders WHERE OrderID = 99"));
        QVERIFY(w.query().active());
        QCOMPARE(w.master().Grid->model()->rowCount(), 0);
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 1"));
    }
};

QTEST_MAIN(TestFreehand)
#include "tst_freehand.moc"
