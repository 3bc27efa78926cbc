// Typing into the real grid as a person does, on a SQLite file and on the
// PostgreSQL test server, then reading the table back through a second
// connection: what was typed is exactly what the database holds, and nothing
// that was not typed changes.

#include "data/service/DecimalText.h"
#include "tests/support/EngineSession.h"
#include "tests/support/GridDriver.h"

#include "toolkit/DatasetModel.h"

#include <QElapsedTimer>

#include <cmath>

using namespace wintest;
using enginetest::engines;
using enginetest::Session;
using gridtest::Driver;
using gridtest::press;

namespace {

// Names are quoted so that both engines keep their letter case.
const char* const itemsScript = R"sql(
CREATE TABLE "Items" ("ID" INT PRIMARY KEY, "Qty" INT, "Country" VARCHAR(20), "Born" DATE);
INSERT INTO "Items" VALUES (1, 5, 'Germany', '2001-02-03');
INSERT INTO "Items" VALUES (2, 6, 'France', NULL);
INSERT INTO "Items" VALUES (3, 7, 'Spain', NULL);
INSERT INTO "Items" VALUES (4, 8, 'Italy', NULL);
)sql";

} // namespace

class TestGridTyping : public QObject {
    Q_OBJECT
private slots:
    void init() { failOnConnectionWarnings(); }

    void typedValueReplacesTheCell_data() { engines(true); }
    // Typing over a selected cell replaces it, however the user leaves the
    // cell; F2 and a double-click edit the existing text; Esc restores it.
    void typedValueReplacesTheCell() {
        QFETCH(QString, engine);
        Session s(engine, itemsScript);
        auto w = baseWindow(s.env.connection(), "Items");
        Driver d(w->master().Grid);
        tk::DBNavigator* nav = w->master().DBNavigator;

        d.typeOver(0, 1, QStringLiteral("42"));
        d.key(Qt::Key_Down);
        d.typeOver(1, 2, QStringLiteral("Zed"));
        d.key(Qt::Key_Tab);
        d.key(Qt::Key_Up);
        d.typeOver(2, 1, QStringLiteral("9"));
        d.key(Qt::Key_Return);
        press(nav, tk::DBNavigator::Post);
        // Save with the editor still open takes what it holds.
        d.typeOver(3, 2, QStringLiteral("Yu"));
        press(nav, tk::DBNavigator::Post);
        // F2 and a double-click add to the existing text.
        d.click(0, 2);
        d.key(Qt::Key_F2);
        d.type(QStringLiteral("X"));
        d.key(Qt::Key_Return);
        d.doubleClick(1, 1);
        d.type(QStringLiteral("1"));
        d.key(Qt::Key_Up);
        // Esc in the editor gives the cell back and leaves the record alone.
        d.typeOver(2, 2, QStringLiteral("abc"));
        d.key(Qt::Key_Escape);
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
        QCOMPARE(w->master().Grid->model()->index(2, 2).data().toString(), QStringLiteral("Spain"));

        QCOMPARE(s.env.dialogs.texts(), QStringList());
        // Numbers stand to the right, text to the left.
        const QAbstractItemModel* m = w->master().Grid->model();
        QCOMPARE(m->index(0, 1).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(!m->index(0, 2).data(Qt::TextAlignmentRole).isValid());
        const auto value = [&](const char* column, int id) {
            return s.readBack(std::string("SELECT \"") + column +
                              "\" FROM \"Items\" WHERE \"ID\" = " + std::to_string(id));
        };
        QCOMPARE(value("Qty", 1), std::string("42"));
        QCOMPARE(value("Country", 2), std::string("Zed"));
        QCOMPARE(value("Qty", 3), std::string("9"));
        QCOMPARE(value("Country", 4), std::string("Yu"));
        QCOMPARE(value("Country", 1), std::string("GermanyX"));
        QCOMPARE(value("Qty", 2), std::string("61"));
        QCOMPARE(value("Country", 3), std::string("Spain"));
    }

    void tableViewListsServerRowsByKey_data() { engines(true); }
    // A server's table shows its rows in primary-key order, so an edited row
    // keeps its place the next time; a SQLite file keeps its stored order.
    void tableViewListsServerRowsByKey() {
        QFETCH(QString, engine);
        Session s(engine, "CREATE TABLE \"Keyed\" (\"Name\" VARCHAR(10), \"ID\" INT PRIMARY KEY); "
                          "INSERT INTO \"Keyed\" VALUES ('c', 3), ('a', 1), ('b', 2);");
        DataWindow w(s.env.connection(), DataWindow::Use::Table);
        w.setUp(QStringLiteral("Keyed"));
        QCOMPARE(column(w.query(), 0).join(QLatin1Char(' ')), engine == QLatin1String("sqlite")
                                                                  ? QStringLiteral("c a b")
                                                                  : QStringLiteral("a b c"));
    }

    void typedDecimalIsStoredExactly_data() { engines(true); }
    // Every digit of a decimal typed into the grid reaches the table, and the
    // cell shows what the table holds, with the column's ten decimal places
    // (the server's numeric comes with them).
    void typedDecimalIsStoredExactly() {
        QFETCH(QString, engine);
        const bool sqlite = engine == QLatin1String("sqlite");
        Session s(engine, std::string("CREATE TABLE \"Prices\" (\"ID\" INT PRIMARY KEY, "
                                      "\"Price\" ") +
                              (sqlite ? "DECIMAL(30,10)" : "numeric(30,10)") +
                              "); INSERT INTO \"Prices\" VALUES (1, 1), (2, 2), (3, 2.5);");
        auto w = baseWindow(s.env.connection(), "Prices");
        Driver d(w->master().Grid);
        const QString typed = sqlite ? QStringLiteral("12345678901234567")
                                     : QStringLiteral("98765432109876543.2109876543");
        d.typeOver(0, 1, typed);
        d.key(Qt::Key_Down);
        QCOMPARE(s.env.dialogs.texts(), QStringList());
        QCOMPARE(s.readBack("SELECT \"Price\" FROM \"Prices\" WHERE \"ID\" = 1"),
                 typed.toStdString());
        const auto shown = [](const std::string& held) {
            return QString::fromStdString(vdata::paddedDecimalText(held, 10));
        };
        QCOMPARE(w->master().Grid->model()->index(0, 1).data().toString(),
                 shown(typed.toStdString()));
        // Prices with ever finer fractions: every cell, typed or not, still
        // shows what the table holds as the window's copy of the column
        // changes how it keeps them.
        for (const QString& price : {QStringLiteral("19.99"), QStringLiteral("0.125")}) {
            d.typeOver(1, 1, price);
            d.key(Qt::Key_Up);
            const std::string held =
                s.readBack("SELECT \"Price\" FROM \"Prices\" WHERE \"ID\" = 2");
            if (sqlite) {
                QCOMPARE(held, price.toStdString());
            }
            for (int row = 0; row < 3; ++row) {
                QCOMPARE(w->master().Grid->model()->index(row, 1).data().toString(),
                         shown(s.readBack("SELECT \"Price\" FROM \"Prices\" WHERE \"ID\" = " +
                                          std::to_string(row + 1))));
            }
        }
        QCOMPARE(s.env.dialogs.texts(), QStringList());
    }

    void typedNegativeZeroKeepsItsSign_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<std::string>("type");
        QTest::addColumn<bool>("negative"); // whether the column holds -0 afterwards
        // A SQLite column of REAL affinity keeps a whole number as an integer,
        // so -0 becomes 0 there; one of no declared type keeps the double.
        QTest::newRow("sqlite, no declared type") << "sqlite" << std::string() << true;
        QTest::newRow("sqlite DOUBLE") << "sqlite" << std::string("DOUBLE") << false;
        if (pgtest::testServer()) {
            QTest::newRow("postgres float8") << "postgres" << std::string("float8") << true;
            QTest::newRow("postgres numeric") << "postgres" << std::string("numeric") << false;
        }
    }
    // "-0" typed into a float cell reaches the table with its sign where the
    // column can hold one, and the cell shows what the table holds.
    void typedNegativeZeroKeepsItsSign() {
        QFETCH(QString, engine);
        QFETCH(std::string, type);
        QFETCH(bool, negative);
        Session s(engine, "CREATE TABLE \"Nums\" (\"ID\" INT PRIMARY KEY, \"X\" " + type +
                              "); INSERT INTO \"Nums\" VALUES (1, 1.5);");
        auto w = baseWindow(s.env.connection(), "Nums");
        Driver d(w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("-0"));
        press(w->master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(s.env.dialogs.texts(), QStringList());
        const std::string held = s.readBack("SELECT \"X\" FROM \"Nums\" WHERE \"ID\" = 1");
        QCOMPARE(std::signbit(std::stod(held)), negative);
        QCOMPARE(w->master().Grid->model()->index(0, 1).data().toString(),
                 negative ? QStringLiteral("-0") : QStringLiteral("0"));
    }

    void generatedColumnsAreReadOnlyCells_data() { engines(); }
    // Rows of a table with generated columns (stored and virtual on SQLite,
    // stored on PostgreSQL) are edited and added; each generated cell then
    // shows what the database computed, and opening an editor on it is
    // refused with the reason.
    void generatedColumnsAreReadOnlyCells() {
        QFETCH(QString, engine);
        const bool sqlite = engine == QLatin1String("sqlite");
        Session s(engine,
                  std::string("CREATE TABLE \"Gen\" (\"ID\" INT PRIMARY KEY, \"A\" INT, "
                              "\"S\" INT GENERATED ALWAYS AS (\"A\" * 10) STORED") +
                      (sqlite ? ", \"V\" INT GENERATED ALWAYS AS (\"A\" + 1) VIRTUAL" : "") +
                      "); INSERT INTO \"Gen\" (\"ID\", \"A\") VALUES (1, 2);");
        auto w = baseWindow(s.env.connection(), "Gen");
        Driver d(w->master().Grid);
        d.typeOver(0, 1, QStringLiteral("3"));
        press(w->master().DBNavigator, tk::DBNavigator::Post);
        press(w->master().DBNavigator, tk::DBNavigator::Insert); // the new row goes before it
        d.typeOver(0, 0, QStringLiteral("5"));
        d.key(Qt::Key_Tab);
        d.type(QStringLiteral("7"));
        press(w->master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(s.env.dialogs.texts(), QStringList());

        const int rowA[] = {7, 3};
        for (int column = 2; column < w->query().fieldCount(); ++column) {
            const std::string name = w->query().field(column).name();
            for (int row : {0, 1}) {
                const int computed = name == "S" ? rowA[row] * 10 : rowA[row] + 1;
                QCOMPARE(s.readBack("SELECT \"" + name +
                                    "\" FROM \"Gen\" WHERE \"A\" = " + std::to_string(rowA[row])),
                         std::to_string(computed));
                QCOMPARE(w->master().Grid->model()->index(row, column).data().toString(),
                         QString::number(computed));
            }
            d.typeOver(1, column, QStringLiteral("9"));
            QVERIFY(!Driver::editor());
            QVERIFY(s.env.dialogs.texts().value(column - 2).contains(tk::qs(name)));
        }
        QCOMPARE(s.env.count(QStringLiteral("error")), sqlite ? 2 : 1);
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
    }

    void refusedValueStaysInTheEditor_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("corrected");
        QTest::addColumn<std::string>("stored");
        const QList<QByteArray> tags{"sqlite", "postgres"};
        for (const QByteArray& tag : tags) {
            if (tag == "postgres" && !pgtest::testServer()) {
                continue;
            }
            QTest::newRow(tag + " number") << QString::fromLatin1(tag) << 1 << "19,90"
                                           << "19" << std::string("19");
            QTest::newRow(tag + " date") << QString::fromLatin1(tag) << 3 << "31/12/1999"
                                         << "1999-12-31" << std::string("1999-12-31");
        }
    }
    // A value the cell refuses is reported and stays in the editor for the
    // user to correct; the record stays where it is.
    void refusedValueStaysInTheEditor() {
        QFETCH(QString, engine);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, corrected);
        QFETCH(std::string, stored);
        Session s(engine, itemsScript);
        auto w = baseWindow(s.env.connection(), "Items");
        Driver d(w->master().Grid);
        d.typeOver(1, column, typed);
        d.key(Qt::Key_Down);
        QCOMPARE(s.env.count(QStringLiteral("error")), 1);
        QVERIFY(Driver::editor());
        QCOMPARE(Driver::editor()->text(), typed);
        QCOMPARE(w->query().currentRow(), 1);
        QCOMPARE(w->master().Grid->currentIndex().row(), 1);
        QCOMPARE(w->master().Grid->selectionModel()->selectedIndexes().value(0).row(), 1);
        // A click on another cell, Tab and the navigator's Save refuse it the
        // same way.
        d.click(3, 2);
        QCOMPARE(w->master().Grid->currentIndex().row(), 1);
        d.key(Qt::Key_Tab);
        press(w->master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(s.env.count(QStringLiteral("error")), 4);
        QCOMPARE(Driver::editor()->text(), typed);
        d.key(Qt::Key_A, Qt::ControlModifier);
        d.type(corrected);
        d.key(Qt::Key_Down);
        QCOMPARE(w->query().currentRow(), 2);
        const std::string name = w->query().field(column).name();
        QCOMPARE(s.readBack("SELECT \"" + name + "\" FROM \"Items\" WHERE \"ID\" = 2"), stored);
        // A refused Save, Esc twice and closing the window: what Qt queued for
        // the editor on the way reaches no deleted editor.
        const std::string third = "SELECT \"" + name + "\" FROM \"Items\" WHERE \"ID\" = 3";
        const std::string before = s.readBack(third);
        d.typeOver(2, column, typed);
        press(w->master().DBNavigator, tk::DBNavigator::Post);
        d.key(Qt::Key_Escape);
        d.key(Qt::Key_Escape);
        QVERIFY(w->close());
        w.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCOMPARE(s.readBack(third), before);
    }

    void cellsTheEditorCannotHoldAreKept_data() { engines(); }
    // A long text survives an editor opened and left; binary values and text
    // that is not valid UTF-8 are read-only in the grid and a post of another
    // column leaves them exactly as they were.
    void cellsTheEditorCannotHoldAreKept() {
        QFETCH(QString, engine);
        const bool sqlite = engine == QLatin1String("sqlite");
        const std::string longText = std::string(40000, 'x') + "end";
        std::string script = "CREATE TABLE \"Docs\" (\"ID\" INT PRIMARY KEY, \"Body\" TEXT, "
                             "\"Label\" VARCHAR(9), \"Pic\" " +
                             std::string(sqlite ? "BLOB" : "BYTEA") + ");" +
                             "INSERT INTO \"Docs\" VALUES (1, '" + longText + "', 'a', NULL);";
        script += sqlite ? "INSERT INTO \"Docs\" VALUES (2, x'00ff', 'b', x'0102');"
                           "INSERT INTO \"Docs\" VALUES (3, CAST(x'ff41' AS TEXT), 'c', NULL);"
                           "INSERT INTO \"Docs\" VALUES (4, CAST(x'6162c3' AS TEXT), 'd', NULL);"
                         : "INSERT INTO \"Docs\" VALUES (2, 'two', 'b', '\\x0102');";
        Session s(engine, script);
        auto w = baseWindow(s.env.connection(), "Docs");
        Driver d(w->master().Grid);

        d.click(0, 1);
        d.key(Qt::Key_F2);
        QCOMPARE(Driver::editorText().size(), qsizetype(longText.size()));
        d.key(Qt::Key_Return);
        QVERIFY(!w->query().modified());
        d.key(Qt::Key_Down);

        const int rows = sqlite ? 4 : 2;
        if (sqlite) { // a value cut in the middle of a character
            const QAbstractItemModel* m = w->master().Grid->model();
            QVERIFY(!(m->flags(m->index(3, 1)) & Qt::ItemIsEditable));
        }
        for (int row = 1; row < rows; ++row) {
            for (int column : {1, 3}) {
                if (!(w->master().Grid->model()->flags(
                          w->master().Grid->model()->index(row, column)) &
                      Qt::ItemIsEditable)) {
                    d.typeOver(row, column, QStringLiteral("z"));
                    QVERIFY(!Driver::editor());
                }
            }
            d.typeOver(row, 2, QStringLiteral("new"));
            d.key(Qt::Key_Up);
        }
        QVERIFY(s.env.count(QStringLiteral("error")) >= 1);
        QCOMPARE(s.readBack("SELECT length(\"Body\") FROM \"Docs\" WHERE \"ID\" = 1"),
                 std::to_string(longText.size()));
        QCOMPARE(s.readBack("SELECT \"Label\" FROM \"Docs\" WHERE \"ID\" = 2"), std::string("new"));
        if (sqlite) {
            QCOMPARE(s.readBack("SELECT hex(Body) || hex(Pic) FROM Docs WHERE ID = 2"),
                     std::string("00FF0102"));
            QCOMPARE(s.readBack("SELECT hex(Body) || Label FROM Docs WHERE ID = 3"),
                     std::string("FF41new"));
            QCOMPARE(s.readBack("SELECT hex(Body) || Label FROM Docs WHERE ID = 4"),
                     std::string("6162C3new"));
        } else {
            QCOMPARE(s.readBack("SELECT encode(\"Pic\", 'hex') FROM \"Docs\" WHERE \"ID\" = 2"),
                     std::string("0102"));
        }
    }

    void longTextCellsStayResponsive_data() { engines(); }
    // A 50 MB text opens and repaints at once, the cell showing the start of
    // its first line; the multi-line editor holds the whole value, leaving it
    // unchanged writes nothing, Ctrl+Return adds a line and Esc restores. A
    // line too long for a text box is not edited.
    void longTextCellsStayResponsive() {
        QFETCH(QString, engine);
        const bool sqlite = engine == QLatin1String("sqlite");
        // "Hea", 3000 two-byte letters, then 500000 lines of 100 bytes, "end".
        const std::string line = std::string(99, '-');
        const std::string big =
            sqlite ? "'Hea' || replace(hex(zeroblob(3000)), '00', 'é') || char(10) || "
                     "replace(hex(zeroblob(500000)), '00', '" +
                         line + "' || char(10)) || 'end'"
                   : "'Hea' || repeat('é', 3000) || chr(10) || repeat('" + line +
                         "' || chr(10), 500000) || 'end'";
        const std::string lf = sqlite ? "char(10)" : "chr(10)";
        const std::string longLine =
            sqlite ? "replace(hex(zeroblob(1100000)), '00', 'x')" : "repeat('x', 1100000)";
        std::string script = "CREATE TABLE \"Docs\" (\"ID\" INT PRIMARY KEY, \"Body\" TEXT);";
        script += "INSERT INTO \"Docs\" VALUES (1, " + big + ");";
        script += "INSERT INTO \"Docs\" VALUES (2, 'one' || " + lf + " || 'two');";
        script += "INSERT INTO \"Docs\" VALUES (3, " + longLine + ");";
        Session s(engine, script);
        const auto body = [&](int id) {
            return s.readBack("SELECT length(\"Body\") || ':' || substr(\"Body\", 1, 4) || "
                              "substr(\"Body\", length(\"Body\") - 5) FROM \"Docs\" WHERE "
                              "\"ID\" = " +
                              std::to_string(id));
        };
        const std::string before = body(1);
        QCOMPARE(before, "50003007:Heaé" + line.substr(0, 2) + "\nend");

        QElapsedTimer clock;
        clock.start();
        auto w = baseWindow(s.env.connection(), "Docs");
        Driver d(w->master().Grid);
        w->master().Grid->viewport()->repaint();
        w->master().Grid->viewport()->repaint();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        const QAbstractItemModel* m = w->master().Grid->model();
        QCOMPARE(m->index(0, 1).data().toString(),
                 QStringLiteral("Hea") + QString(2046, QChar(0xE9)) + QChar(0x2026));
        QCOMPARE(m->index(1, 1).data().toString(), QStringLiteral("one") + QChar(0x2026));

        d.click(0, 1);
        d.key(Qt::Key_F2);
        QVERIFY(Driver::longEditor());
        QCOMPARE(Driver::editorText().size(), qsizetype(50003007));
        d.key(Qt::Key_Return);
        QVERIFY(!Driver::longEditor());
        QVERIFY(!w->query().modified());
        d.key(Qt::Key_Down);
        QCOMPARE(body(1), before);

        d.key(Qt::Key_F2);
        d.key(Qt::Key_Return, Qt::ControlModifier);
        d.type(QStringLiteral("three"));
        d.key(Qt::Key_Return);
        d.key(Qt::Key_Up);
        QCOMPARE(body(2), std::string("13:one\n\nthree"));
        d.typeOver(1, 1, QStringLiteral("gone"));
        QCOMPARE(Driver::editorText(), QStringLiteral("gone"));
        d.key(Qt::Key_Escape);
        QCOMPARE(m->index(1, 1).data(Qt::EditRole).toString(), QStringLiteral("one\ntwo\nthree"));
        QCOMPARE(s.env.dialogs.texts(), QStringList());
        // A line too long for any text box is not edited; the user is told.
        d.click(2, 1);
        d.key(Qt::Key_F2);
        QCOMPARE(Driver::editorText(), QString());
        QCOMPARE(s.env.dialogs.texts(), QStringList{tk::DatasetModel::lineTooLongText});
    }
};

QTEST_MAIN(TestGridTyping)
#include "tst_gridtyping.moc"
