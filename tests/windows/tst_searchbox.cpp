// The search and filter boxes of the data windows on a real SQLite file:
// the placeholder cycle, picking a column, searching in the main and the
// child set, filtering the rows read, and the failures (no column, a term
// that cannot be compared, a filter that cannot be read).

#include "data/service/Command.h"
#include "tests/support/ChinookProgram.h"
#include "tests/support/GridDriver.h"
#include "tests/support/WindowTestEnv.h"

#include "toolkit/Cursors.h"
#include "toolkit/EditBox.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <QListWidget>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

using namespace wintest;
using tk::qs;
using tk::ss;

namespace {

const QColor grey(128, 128, 128);

// A table view of Customers, shown and active so that focus moves for real.
struct ShownTable {
    DataWindow w;
    explicit ShownTable(Env& env, const std::string& table = "Customers")
        : w(env.connection(), DataWindow::Use::MasterDetail) {
        w.query().setSQL("SELECT * FROM [" + table + "]");
        w.query().open();
        w.initialise();
        w.master().Grid->setFocus();
        w.show();
        QApplication::setActiveWindow(&w);
    }
};

void pressReturn(tk::EditBox* box) {
    QTest::keyClick(box, Qt::Key_Return);
}

void pick(QComboBox* list, const QString& column) {
    list->setCurrentIndex(list->findText(column));
}

// The first column of every row the grid shows, top to bottom.
QStringList shownKeys(const tk::DBGrid* grid) {
    QStringList keys;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        keys << grid->model()->index(r, 0).data().toString();
    }
    return keys;
}

// Types a condition into the filter box as a person does and presses Return.
void typeFilter(DataSetPanel& panel, const QString& condition) {
    panel.edFilter->setFocus();
    panel.edFilter->selectAll();
    QTest::keyClick(panel.edFilter, Qt::Key_Backspace);
    QTest::keyClicks(panel.edFilter, condition);
    QTest::keyClick(panel.edFilter, Qt::Key_Return);
}

} // namespace

class TestSearchBox : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void placeholderComesAndGoes() {
        Env env;
        ShownTable t(env);
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        tk::EditBox* box = t.w.master().edTrazi;
        QCOMPARE(box->text(), DataSetPanel::searchPlaceholder);
        QCOMPARE(box->textColor(), grey);
        QVERIFY(t.w.master().Grid->hasFocus());
        QCOMPARE(box->text(), DataSetPanel::searchPlaceholder);
        box->setFocus(Qt::TabFocusReason);
        QVERIFY(box->hasFocus());
        QCOMPARE(box->text(), QString());
        QVERIFY(box->textColor() != grey);
        t.w.master().Grid->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), DataSetPanel::searchAgainPlaceholder);
        QCOMPARE(box->textColor(), grey);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), QString());
        // A term stays, in its colour, when the box is left and entered again.
        QTest::keyClicks(box, QStringLiteral("Ber"));
        const QColor termColour = box->textColor();
        t.w.master().Grid->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), QStringLiteral("Ber"));
        QCOMPARE(box->textColor(), termColour);
        // Leaving with the whole window and coming back is neither.
        box->clear();
        QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(box, &away);
        QCOMPARE(box->text(), QString());
    }

    void pickingAChildColumnFocusesTheChildBox() {
        Env env;
        ShownTable t(env);
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        emit t.w.detail()->cboTraziPo->activated(0);
        QVERIFY(t.w.detail()->edTrazi->hasFocus());
        QCOMPARE(t.w.detail()->edTrazi->text(), QString());
        QCOMPARE(t.w.master().edTrazi->text(), DataSetPanel::searchPlaceholder);
        emit t.w.master().cboTraziPo->activated(0);
        QVERIFY(t.w.master().edTrazi->hasFocus());
        QCOMPARE(t.w.detail()->edTrazi->text(), DataSetPanel::searchAgainPlaceholder);
    }

    void matchMovesRecordCounterAndFillsTheWholeValue() {
        Env env;
        ShownTable t(env);
        tk::EditBox* box = t.w.master().edTrazi;
        pick(t.w.master().cboTraziPo, QStringLiteral("CompanyName"));
        box->setText(QStringLiteral("berg"));
        pressReturn(box);
        QCOMPARE(t.w.query().currentRow(), 2);
        QCOMPARE(t.w.master().lblRecNo->text(), QStringLiteral("Record 3 / 4"));
        QCOMPARE(box->text(), QStringLiteral("Berglunds snabbkop"));
        QCOMPARE(t.w.master().Grid->currentIndex().row(), 2);
        // An integer column matches by equality.
        pick(t.w.master().cboTraziPo, QStringLiteral("Rating"));
        box->setText(QStringLiteral("5"));
        pressReturn(box);
        QCOMPARE(t.w.query().currentRow(), 1);
        // No match: nothing moves, nothing is said; other keys do not search.
        pick(t.w.master().cboTraziPo, QStringLiteral("CompanyName"));
        box->setText(QStringLiteral("Nobody"));
        pressReturn(box);
        QCOMPARE(t.w.query().currentRow(), 1);
        QCOMPARE(box->text(), QStringLiteral("Nobody"));
        box->setText(QStringLiteral("Blauer"));
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(t.w.query().currentRow(), 1);
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
    }

    // Letters in an integer column, and an empty column list: the default
    // error report, nothing moves, the cursor is back.
    void searchesThatCannotRunReportTheError() {
        Env env;
        ShownTable t(env);
        t.w.query().moveTo(2);
        pick(t.w.master().cboTraziPo, QStringLiteral("Rating"));
        t.w.master().edTrazi->setText(QStringLiteral("abc"));
        pressReturn(t.w.master().edTrazi);
        vdata::Command create(&env.connection());
        create.setCommandText("CREATE TABLE Reals (Price REAL, Picture BLOB)");
        create.execute();
        ShownTable codes(env, "Reals");
        QCOMPARE(codes.w.master().cboTraziPo->count(), 0);
        codes.w.master().edTrazi->setText(QStringLiteral("1"));
        pressReturn(codes.w.master().edTrazi);
        QCOMPARE(env.count("error"), 2);
        for (const auto& shown : env.dialogs.shown)
            QCOMPARE(shown.caption, appTitle);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        QCOMPARE(t.w.query().currentRow(), 2);
        QCOMPARE(codes.w.master().edTrazi->text(), QStringLiteral("1"));
    }

    // Every integer column is offered, a 64-bit key too, and found by value.
    void integerKeysAreSearchable() {
        Env env;
        ShownTable codes(env, "Codes");
        QCOMPARE(entries(codes.w.master().cboTraziPo), QStringList{QStringLiteral("ID")});
        codes.w.master().edTrazi->setText(QStringLiteral("1"));
        pressReturn(codes.w.master().edTrazi);
        QCOMPARE(codes.w.query().currentRow(), 0);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Searching on from a match, in the main window: Return in the box and
    // A search compares numbers as the grid shows them: the integer 2^63 - 1
    // is not the floating-point 2^63 beside it, as SQLite's own WHERE says.
    void searchComparesNumbersAsShown() {
        Env env;
        for (const char* sql : {"CREATE TABLE Big (ID INT PRIMARY KEY, N INTEGER)",
                                "INSERT INTO Big VALUES (1, 9223372036854775808.0)",
                                "INSERT INTO Big VALUES (2, 9223372036854775807)"}) {
            vdata::Command make(&env.connection());
            make.setCommandText(sql);
            make.execute();
        }
        ShownTable t(env, "Big");
        pick(t.w.master().cboTraziPo, QStringLiteral("N"));
        t.w.master().edTrazi->setFocus();
        QTest::keyClicks(t.w.master().edTrazi, QStringLiteral("9223372036854775807"));
        pressReturn(t.w.master().edTrazi);
        const std::string id = env.readBack("SELECT ID FROM Big WHERE N = 9223372036854775807");
        QCOMPARE(std::to_string(t.w.query().currentRow() + 1), id);
        QCOMPARE(t.w.master().lblRecNo->text(), QStringLiteral("Record %1 / 2").arg(qs(id)));
    }

    // F3 in the grid go forward, Shift+F3 back, both around the end; "*"
    // finds a part; a miss moves nothing. Each step: the row, the counter
    // and the status bar's note.
    void findNextWrapsAndSaysSo() {
        Env env;
        QVERIFY(env.started());
        DataWindow* w = env.click(QStringLiteral("Tables"), QStringLiteral("Customers"));
        QVERIFY(w);
        const QString wrapFirst = QStringLiteral("Search wrapped to the first row");
        const QString wrapLast = QStringLiteral("Search wrapped to the last row");
        struct Step {
            QString column, typed; // typed: null keeps the box's text
            QKeyCombination key;
            int row;
            QString status;
        };
        const Qt::Key ret = Qt::Key_Return;
        const Step steps[] = {
            {"Country", "germany", ret, 0, {}},
            {"Country", {}, ret, 3, {}},
            {"Country", {}, ret, 0, wrapFirst},
            {"Country", {}, Qt::SHIFT | Qt::Key_F3, 3, wrapLast},
            {"Country", {}, Qt::SHIFT | Qt::Key_F3, 0, {}},
            {"Country", {}, Qt::Key_F3, 3, {}},
            {"CompanyName", "*SEE", ret, 3, {}},
            {"CompanyName", {}, Qt::Key_F3, 3, wrapFirst},
            {"CompanyName", "*und", ret, 2, {}},
            {"CompanyName", "Nobody", ret, 2, QStringLiteral("Not found")},
            {"CompanyName", {}, Qt::Key_F3, 2, QStringLiteral("Not found")},
            {"Rating", "4", Qt::SHIFT | Qt::Key_F3, 3, {}},
        };
        DataSetPanel& panel = w->master();
        for (const Step& step : steps) {
            env.form.statusBar()->clearMessage();
            pick(panel.cboTraziPo, step.column);
            if (!step.typed.isNull()) {
                panel.edTrazi->setFocus();
                panel.edTrazi->clear();
                QTest::keyClicks(panel.edTrazi, step.typed);
            }
            const bool inBox = step.key.key() == Qt::Key_Return;
            QWidget* target = inBox ? static_cast<QWidget*>(panel.edTrazi) : panel.Grid;
            target->setFocus();
            QTest::keyClick(target, step.key.key(), step.key.keyboardModifiers());
            const int row = w->query().currentRow();
            QCOMPARE((QStringList{step.typed, QString::number(row), panel.lblRecNo->text(),
                                  env.form.statusBar()->currentMessage()}),
                     (QStringList{step.typed, QString::number(step.row),
                                  QStringLiteral("Record %1 / 4").arg(step.row + 1), step.status}));
        }
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Each condition typed into the filter box: the rows shown, in order,
    // the counter and the status bar's note; one that cannot be read is
    // reported with its spot selected, and keeps the rows shown and the text
    // typed.
    void filterShowsTheRowsThatMatch() {
        Env env;
        QVERIFY(env.started());
        DataWindow* w = env.click(QStringLiteral("Tables"), QStringLiteral("Customers"));
        QVERIFY(w);
        DataSetPanel& panel = w->master();
        const QString all = QStringLiteral("ALFKI ANATR BERGS BLAUS");
        struct Step {
            QString condition, rows, status, marked = {};
        };
        const Step steps[] = {
            {"Country = germany", "ALFKI BLAUS", "2 rows match the filter"},
            {"Rating >= 3 and Country <> 'Mexico'", "ALFKI BLAUS", "2 rows match the filter"},
            {"CompanyName contains SEE", "BLAUS", "1 row matches the filter"},
            {"companyname starts with ber", "BERGS", "1 row matches the filter"},
            {"Joined is null", "BLAUS", "1 row matches the filter"},
            {"Balance > 5", "ALFKI BLAUS", "2 rows match the filter"},
            {"Balance > 10.49 and Balance <= 10.5", "ALFKI", "1 row matches the filter"},
            {"Joined < 2020-06-01", "ALFKI ANATR", "2 rows match the filter"},
            {"[Country] = \"Sweden\" and Joined is not null", "BERGS", "1 row matches the filter"},
            {"Rating > 9", "", "0 rows match the filter"},
            {"Country = Sweden or Country = Mexico", "ANATR BERGS", "2 rows match the filter"},
            {"Country = Mexico or Rating >= 3 and Country = Germany", "ALFKI ANATR BLAUS",
             "3 rows match the filter"},
            {"(Country = Mexico OR Rating >= 3) and (Country = Germany)", "ALFKI BLAUS",
             "2 rows match the filter"},
            {"CompanyName = 'Blauer See' or CompanyName = \"ana trujillo\"", "ANATR BLAUS",
             "2 rows match the filter"},
            {"Country = Sweden xor Country = Mexico", "", "", "xor"},
            {"Country = New Zealand", "", "", "Zealand"},
            {"(Country = Sweden or Rating > 4", "", "", "("},
            {"Country = Sweden)", "", "", ")"},
            {"Country = Sweden or", "", "", ""},
            {"Nope = 1", "", "", "Nope"},
            {"Rating > many", "", "", "many"},
            {"Rating between 1", "", "", "between"},
            {"Joined is null 3", "", "", "3"},
            {"", all, "Filter cleared: 4 rows shown"},
        };
        for (const Step& step : steps) {
            env.form.statusBar()->clearMessage();
            env.dialogs.shown.clear();
            const QString rowsBefore = shownKeys(panel.Grid).join(QLatin1Char(' '));
            const QString counterBefore = panel.lblRecNo->text();
            const bool refused = step.status.isEmpty();
            typeFilter(panel, step.condition);
            const QString rows = shownKeys(panel.Grid).join(QLatin1Char(' '));
            const int shown = static_cast<int>(panel.Grid->model()->rowCount());
            const int at = w->query().currentRow();
            const QString counter =
                QStringLiteral("Record %1 / %2").arg(at < 0 ? -1 : at + 1).arg(shown);
            QCOMPARE((QStringList{step.condition, rows, panel.lblRecNo->text(),
                                  env.form.statusBar()->currentMessage(),
                                  QString::number(env.count("error"))}),
                     (QStringList{step.condition, refused ? rowsBefore : step.rows,
                                  refused ? counterBefore : counter, step.status,
                                  QString::number(refused ? 1 : 0)}));
            QCOMPARE(panel.edFilter->text(), step.condition);
            if (refused) {
                QCOMPARE(panel.edFilter->selectedText(), step.marked);
                QVERIFY(env.dialogs.shown.first().text.contains(QStringLiteral("at character")));
            }
        }
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
    }

    // Numbers compare as the grid shows them: each filter shows as many
    // rows as the same WHERE finds in the file.
    void filterComparesNumbersAsShown() {
        chinook::Program p;
        QVERIFY(p.started());
        struct Step {
            QString table, condition;
        };
        const Step steps[] = {
            {"Track", "UnitPrice = 0.99"},
            {"Track", "UnitPrice < 0.99"},
            {"Track", "UnitPrice <= 0.99"},
            {"Track", "UnitPrice > 0.99"},
            {"Track", "UnitPrice >= 1.99"},
            {"Track", "UnitPrice <> 1.99"},
            {"Invoice", "Total = 1.98"},
            {"Invoice", "Total > 1.98"},
            {"Invoice", "Total < 13.86"},
            {"Invoice", "Total >= 13.86"},
            {"Invoice", "Total = 0.99 or Total = 8.91"},
        };
        for (const Step& step : steps) {
            DataWindow* w = p.click(QStringLiteral("Tables"), step.table);
            QVERIFY(w);
            typeFilter(w->master(), step.condition);
            const std::string where = ss(step.condition);
            QCOMPARE(
                (QStringList{step.condition,
                             QString::number(w->master().Grid->model()->rowCount())}),
                (QStringList{step.condition, qs(p.readBack("SELECT COUNT(*) FROM " +
                                                           ss(step.table) + " WHERE " + where))}));
        }
        QCOMPARE(p.count("error"), 0);
    }

    // Sorting, searching, editing and adding while filtered; clearing shows
    // every row in the order shown before, the new one among them, and keeps
    // the current record in sight. Every edit is read back from the file.
    void filteredRowsSortEditAndComeBack() {
        Env env;
        vdata::Command more(&env.connection());
        more.setCommandText("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 200) INSERT INTO Orders SELECT i + 10, 'BLAUS', "
                            "'Italy', i FROM n");
        more.execute();
        QVERIFY(env.started());
        DataWindow* w = env.click(QStringLiteral("Tables"), QStringLiteral("Orders"));
        QVERIFY(w);
        DataSetPanel& panel = w->master();
        typeFilter(panel, QStringLiteral("CustomerID = alfki"));
        QCOMPARE(shownKeys(panel.Grid), (QStringList{"1", "2", "4"}));
        panel.sort(QStringLiteral("Amount"));
        panel.sort(QStringLiteral("Amount"));
        QCOMPARE(shownKeys(panel.Grid), (QStringList{"4", "2", "1"}));
        pick(panel.cboTraziPo, QStringLiteral("ShipCountry"));
        panel.edTrazi->setFocus();
        QTest::keyClicks(panel.edTrazi, QStringLiteral("fr"));
        QTest::keyClick(panel.edTrazi, Qt::Key_Return);
        QCOMPARE(w->query().currentRow(), 1);
        gridtest::Driver grid(panel.Grid);
        grid.click(1, 3);
        grid.type(QStringLiteral("250"));
        grid.key(Qt::Key_Return);
        grid.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(env.readBack("SELECT Amount FROM Orders WHERE OrderID = 2"), std::string("250"));
        typeFilter(panel, QString());
        QCOMPARE(shownKeys(panel.Grid).mid(0, 4), (QStringList{"4", "3", "2", "210"}));
        QCOMPARE(panel.Grid->model()->rowCount(), 204);
        QCOMPARE(w->query().currentRow(), 2);
        // Back to the stored order, filtered on the new rows, the last one
        // current: cleared with the box's button, it stays current and in
        // sight.
        w->query().setSort(std::string());
        typeFilter(panel, QStringLiteral("ShipCountry = Italy"));
        QCOMPARE(panel.Grid->model()->rowCount(), 200);
        w->query().last();
        QToolButton* clear = panel.edFilter->findChild<QToolButton*>();
        QVERIFY(clear && clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(w->query().currentRow(), 203);
        QCOMPARE(panel.Grid->currentIndex().row(), 203);
        QVERIFY(panel.Grid->viewport()->rect().intersects(
            panel.Grid->visualRect(panel.Grid->currentIndex())));
        // A row added while filtered shows among the others once cleared,
        // where it was added, and the filter holds through a re-read (F5).
        typeFilter(panel, QStringLiteral("Amount < 3"));
        QCOMPARE(shownKeys(panel.Grid), (QStringList{"11", "12"}));
        grid.click(0, 0);
        grid.key(Qt::Key_Insert, Qt::ControlModifier);
        grid.type(QStringLiteral("9"));
        grid.key(Qt::Key_Tab);
        grid.type(QStringLiteral("ANATR"));
        grid.key(Qt::Key_Return);
        grid.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE OrderID = 9"),
                 std::string("ANATR"));
        QCOMPARE(shownKeys(panel.Grid), (QStringList{"9", "11", "12"}));
        QTest::keyClick(panel.Grid, Qt::Key_F5);
        QCOMPARE(panel.edFilter->text(), QStringLiteral("Amount < 3"));
        QCOMPARE(shownKeys(panel.Grid), (QStringList{"11", "12"}));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void childSetSearchesTheChildQuery() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        QCOMPARE(w.detail()->query().recordCount(), 3);
        QComboBox* list = w.detail()->cboTraziPo;
        list->setCurrentIndex(list->findText(QStringLiteral("ShipCountry")));
        w.detail()->edTrazi->setText(QStringLiteral("fr"));
        pressReturn(w.detail()->edTrazi);
        QCOMPARE(w.detail()->query().currentRow(), 1);
        QCOMPARE(w.detail()->edTrazi->text(), QStringLiteral("France"));
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 2 / 3"));
        QCOMPARE(w.query().currentRow(), 0);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Entries refer to fields; once their result is closed they report an
    // error instead of reaching a field that no longer exists.
    void staleEntryIsReportedNotFollowed() {
        Env env;
        ShownTable t(env);
        t.w.query().close();
        t.w.query().open();
        t.w.master().edTrazi->setText(QStringLiteral("A"));
        pressReturn(t.w.master().edTrazi);
        QCOMPARE(env.count("error"), 1);
        QVERIFY(env.dialogs.shown.first().text.contains(QStringLiteral("CustomerID")));
    }
};

QTEST_MAIN(TestSearchBox)
#include "tst_searchbox.moc"
