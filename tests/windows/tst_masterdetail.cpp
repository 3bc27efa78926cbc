// The master-detail window on a real SQLite file (and the PostgreSQL test
// server where it matters): field probes, the relation list, the texts of
// both queries, the linked child grid and its counter, inserting child rows,
// a user clicking and typing in both grids, and the pairs a declared key
// gives (Chinook, nwind.mdb and a two-column key on PostgreSQL).

#include "tests/support/WindowTestEnv.h"

#include "data/service/Command.h"

#include "tests/support/KeyDatabases.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"

#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/ValueListEditor.h"

#include <QApplication>
#include <QListWidget>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

using namespace wintest;

namespace {

QStringList items(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result << list->item(i)->text();
    }
    return result;
}

// Orders and their lines, linked by orders.id -> order_lines.order_id; a
// line's own id and note come from the engine's defaults.
const char* const linesSqlite = R"sql(
CREATE TABLE orders (id INTEGER PRIMARY KEY, customer VARCHAR(10));
INSERT INTO orders VALUES (10, 'ann');
INSERT INTO orders VALUES (20, 'bob');
CREATE TABLE order_lines (id INTEGER PRIMARY KEY, order_id INT, qty INT,
                          note VARCHAR(10) DEFAULT 'none');
INSERT INTO order_lines (order_id, qty) VALUES (10, 5);
)sql";

const char* const linesPostgres = R"sql(
CREATE TABLE orders (id int PRIMARY KEY, customer varchar(10));
INSERT INTO orders VALUES (10, 'ann');
INSERT INTO orders VALUES (20, 'bob');
CREATE TABLE order_lines (id serial PRIMARY KEY, order_id int, qty int,
                          note varchar(10) DEFAULT 'none');
INSERT INTO order_lines (order_id, qty) VALUES (10, 5);
)sql";

// Picks a table as a user does: the list has the focus and the name is typed.
void pick(QComboBox* tables, const QString& name) {
    tables->setFocus();
    QTest::keyClicks(tables, name);
    QCOMPARE(tables->currentText(), name);
}

QStringList pairTexts(const RelationSetup& setup) {
    QStringList pairs;
    for (const auto& [master, child] : setup.pairs()) {
        pairs << tk::qs(master + '=' + child);
    }
    return pairs;
}

// A window on screen, so that clicks and keys reach it as they reach a user's.
void showOnScreen(DataWindow& w) {
    w.resize(1000, 800);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

void clickCell(tk::DBGrid* grid, int row, int column) {
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void clickButton(tk::DBNavigator* navigator, tk::DBNavigator::Button button) {
    QTest::mouseClick(navigator->button(button), Qt::LeftButton);
}

// Keys go wherever the keyboard is, as a user's do.
void type(const QString& text) {
    for (const QChar c : text) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
}

// The event loop runs after each key, as it does between a user's keys (an
// editor commits on Return through a queued call).
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QCoreApplication::processEvents();
}

// F2 opens the current cell's editor; what is typed then replaces its text.
void retype(const QString& text) {
    press(Qt::Key_F2);
    press(Qt::Key_A, Qt::ControlModifier);
    type(text);
}

} // namespace

class TestMasterDetail : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void customersAndOrdersGiveTheExactTexts() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        w.initialise(); // lists the tables, opens nothing
        QCOMPARE(entries(w.setup()->cboMasterTable), entries(w.setup()->cboChildTable));
        QCOMPARE(w.setup()->cboMasterTable->count(), int(env.dm.connection.tableNames().size()));
        QCOMPARE(w.setup()->cboMasterTable->currentIndex(), -1);
        QCOMPARE(w.setup()->Rel->pairCount(), 0);
        QCOMPARE(w.setup()->Rel->cell(0, 0), QStringLiteral("Master"));
        QCOMPARE(w.setup()->Rel->cell(1, 0), QStringLiteral("Child"));
        QVERIFY(!w.query().active() && !w.detail()->query().active());
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("Customers"));
        QCOMPARE(
            items(w.setup()->lbMasterFields),
            (QStringList{"CustomerID", "CompanyName", "Country", "Rating", "Joined", "Balance"}));
        linkCustomersToOrders(w);
        QCOMPARE(w.query().sql(), std::string("SELECT * FROM [Customers]"));
        QCOMPARE(w.detail()->query().sql(), std::string("SELECT * FROM [Orders]\r\n"
                                                        "WHERE \r\n"
                                                        "[Orders].[CustomerID] = :CustomerID\r\n"
                                                        " AND \r\n"
                                                        "[Orders].[ShipCountry] = :Country\r\n"));
        QVERIFY(w.query().active() && w.detail()->query().active());
        // ALFKI in Germany: orders 1 and 4, not the French one.
        QCOMPARE(w.detail()->query().recordCount(), 2);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 1 / 2"));
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        QCOMPARE(w.detail()->Grid->model()->rowCount(), 2);
        QCOMPARE(env.dialogs.shown.size(), 0);
        // The search lists follow the opened results.
        QCOMPARE(w.master().cboTraziPo->count(), 5);
        QCOMPARE(w.detail()->cboTraziPo->count(), 4);
    }

    void childFollowsTheMasterRowAndItsCounter() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        QCOMPARE(w.detail()->query().recordCount(), 3);
        w.query().moveTo(1); // ANATR: one order
        QCOMPARE(w.detail()->query().recordCount(), 1);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 1 / 1"));
        w.query().moveTo(2); // BERGS: none
        QCOMPARE(w.detail()->query().recordCount(), 0);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(w.detail()->Grid->model()->rowCount(), 0);
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 3 / 4"));

        // An empty master gives an empty child; both counters tell, as open queries.
        DataWindow e(env.connection(), DataWindow::Use::MasterDetail);
        chooseTable(e, e.setup()->cboMasterTable, QStringLiteral("Empty"));
        chooseTable(e, e.setup()->cboChildTable, QStringLiteral("Orders"));
        pair(e, QStringLiteral("ID"), QStringLiteral("OrderID"));
        e.setup()->MCRefreshButton->click();
        QVERIFY(e.query().active() && e.detail()->query().active());
        QCOMPARE(e.detail()->query().recordCount(), 0);
        QCOMPARE(e.master().lblRecNo->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(e.detail()->lblRecNo->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void refreshWithoutPairsClosesBothAndComplains() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        QVERIFY(w.query().active());
        w.setup()->Rel->selectRow(0);
        QTest::keyClick(w.setup()->Rel, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.setup()->Rel->pairCount(), 0);
        w.setup()->MCRefreshButton->click();
        QVERIFY(!w.query().active() && !w.detail()->query().active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, QStringLiteral("Error"));
        QCOMPARE(env.dialogs.shown.last().text,
                 QStringLiteral("You must setup master-detail relations!"));
    }

    void relationListRefusalsReachTheDefaultReport() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("Customers"));
        chooseTable(w, w.setup()->cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("ShipCountry"));
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, appTitle);
        QCOMPARE(env.dialogs.shown.last().text,
                 QStringLiteral("A key with the name of \"CustomerID\" already exists."));
        // The same child field may serve two pairs.
        pair(w, QStringLiteral("Country"), QStringLiteral("CustomerID"));
        QCOMPARE(w.setup()->Rel->pairCount(), 2);
        QCOMPARE(w.setup()->Rel->value(1), QStringLiteral("CustomerID"));
        // Ctrl+Shift+Delete is not the delete key of the list.
        w.setup()->Rel->selectRow(0);
        QTest::keyClick(w.setup()->Rel, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.setup()->Rel->pairCount(), 2);
        // Nothing selected on one side: nothing happens.
        w.setup()->lbChildFields->clearSelection();
        w.setup()->AddRelButton->click();
        QCOMPARE(w.setup()->Rel->pairCount(), 2);
        QCOMPARE(env.count("error"), 1);
    }

    void sameTableAsMasterAndChild() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("Orders"));
        chooseTable(w, w.setup()->cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
        w.setup()->MCRefreshButton->click();
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(w.detail()->query().recordCount(), 3); // ALFKI's three orders
        w.query().moveTo(2);                            // ANATR
        QCOMPARE(w.detail()->query().recordCount(), 1);
        QCOMPARE(w.detail()->query().cellText(0, 0), std::string("3"));
    }

    // The child fails, the master stays open: the child table was renamed
    // meanwhile (the pairs are kept).
    void childFailuresLeaveTheMasterOpen() {
        Env env;
        DataWindow other(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(other, false);
        auto second = env.other();
        vdata::Command rename(second.get());
        rename.setCommandText("ALTER TABLE Orders RENAME TO Gone");
        rename.execute();
        QCOMPARE(other.setup()->Rel->pairCount(), 1);
        other.setup()->MCRefreshButton->click();
        QVERIFY(other.query().active());
        QVERIFY(!other.detail()->query().active());
        QCOMPARE(env.count("error"), 1);
        env.dialogs.clear();
        rename.setCommandText("ALTER TABLE Gone RENAME TO Orders");
        rename.execute();

        // A master field with a blank gets a parameter name of its own; a
        // table name with a blank is probed for its fields.
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("Staff"));
        chooseTable(w, w.setup()->cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("Staff ID"), QStringLiteral("OrderID"));
        w.setup()->MCRefreshButton->click();
        QCOMPARE(w.detail()->query().sql(),
                 std::string("SELECT * FROM [Orders]\r\nWHERE \r\n[Orders].[OrderID] = :p1\r\n"));
        QCOMPARE(column(w.detail()->query(), 0), QStringList{"1"});
        w.query().moveTo(1);
        QCOMPARE(column(w.detail()->query(), 0), QStringList{"2"});
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("Order Lines"));
        QCOMPARE(items(w.setup()->lbMasterFields), (QStringList{"ID", "Qty"}));
        QCOMPARE(env.dialogs.texts(), QStringList{});
    }

    void childInsertTakesTheMastersValue() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        w.query().moveTo(2); // BERGS, no orders yet
        w.detail()->DBNavigator->button(tk::DBNavigator::Insert)->click();
        QCOMPARE(w.detail()->query().state(), vdata::DataSetState::Insert);
        QCOMPARE(w.detail()->query().fieldByName("CustomerID").asString(), std::string("BERGS"));
        w.detail()->query().fieldByName("OrderID").setAsString("9");
        w.detail()->query().fieldByName("Amount").setAsString("90");
        w.detail()->DBNavigator->button(tk::DBNavigator::Post)->click();
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE OrderID = 9"),
                 std::string("BERGS"));
        QCOMPARE(w.detail()->query().recordCount(), 1);
    }

    void childNavigatorRefreshKeepsTheCounter() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        w.detail()->query().moveTo(2);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 3 / 3"));
        {
            auto other = env.other();
            vdata::Command add(other.get());
            add.setCommandText("INSERT INTO Orders VALUES (5, 'ALFKI', 'Spain', 1)");
            add.execute();
        }
        w.detail()->DBNavigator->button(tk::DBNavigator::Refresh)->click();
        QCOMPARE(w.detail()->query().recordCount(), 4);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 3 / 3"));
    }

    // A child change the database refuses holds the master where it is: the
    // message is shown, both grids, both counters and the child rows stay,
    // and a child row added after cancelling takes the shown master's key.
    void refusedChildChangeKeepsTheMaster() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        showOnScreen(w);
        clickCell(w.detail()->Grid, 1, 0); // order 2 of ALFKI
        retype(QStringLiteral("3"));       // the key of ANATR's order
        clickCell(w.master().Grid, 1, 1);  // ANATR
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(w.detail()->query().currentValue(0).toText(), std::string("3"));
        clickButton(w.master().DBNavigator, tk::DBNavigator::Next);
        QCOMPARE(env.count("error"), 2);
        QCOMPARE(w.query().currentRow(), 0);
        QCOMPARE(w.master().Grid->currentIndex().row(), 0);
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        QCOMPARE(w.detail()->query().state(), vdata::DataSetState::Edit);
        QCOMPARE(column(w.detail()->query(), 1), (QStringList{"ALFKI", "ALFKI", "ALFKI"}));
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 2 / 3"));

        QTest::keyClick(w.detail()->Grid, Qt::Key_Escape);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Insert);
        clickCell(w.detail()->Grid, w.detail()->query().currentRow(), 0);
        type(QStringLiteral("9"));
        press(Qt::Key_Return);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(env.count("error"), 2);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE OrderID = 9"),
                 std::string("ALFKI"));
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders WHERE OrderID = 3"), std::string("1"));
        clickCell(w.master().Grid, 1, 1); // free to move now
        QCOMPARE(w.query().currentRow(), 1);
        QCOMPARE(column(w.detail()->query(), 0), QStringList{"3"});
    }

    // The child follows the master's record: none while the master inserts,
    // the stored values while it edits a linked field, the new ones once the
    // change is saved.
    void childFollowsMasterInsertAndLinkedEdits() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w);
        showOnScreen(w);
        clickButton(w.master().DBNavigator, tk::DBNavigator::Insert);
        QCOMPARE(w.detail()->query().recordCount(), 0);
        QCOMPARE(w.detail()->Grid->model()->rowCount(), 0);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record -1 / 0"));
        clickButton(w.master().DBNavigator, tk::DBNavigator::Cancel);
        QCOMPARE(column(w.detail()->query(), 0), (QStringList{"1", "4"}));

        clickCell(w.master().Grid, 0, 2); // ALFKI's Country
        retype(QStringLiteral("France"));
        press(Qt::Key_Return);
        QCOMPARE(w.query().state(), vdata::DataSetState::Edit);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Refresh);
        QCOMPARE(column(w.detail()->query(), 0), (QStringList{"1", "4"}));
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 1 / 2"));
        clickButton(w.master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(column(w.detail()->query(), 0), QStringList{"2"});
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 1 / 1"));
        QCOMPARE(env.readBack("SELECT Country FROM Customers WHERE CustomerID = 'ALFKI'"),
                 std::string("France"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Deleting the last child row leaves the counter at no record.
    void deletingTheLastRowUpdatesTheCounter() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        showOnScreen(w);
        clickCell(w.master().Grid, 1, 1); // ANATR: one order
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 1 / 1"));
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Delete);
        QCOMPARE(env.count("confirm"), 1);
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders WHERE CustomerID = 'ANATR'"),
                 std::string("0"));
    }

    // Add and Edit put the keyboard in the navigator's own grid, on the new
    // or edited row: what the user types then goes there, not to the master.
    void addAndEditTypeIntoTheNavigatorsGrid() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        showOnScreen(w);
        clickCell(w.detail()->Grid, 0, 3); // order 1's Amount ...
        clickCell(w.master().Grid, 0, 1);  // ... then the keyboard in the master grid
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Edit);
        QCOMPARE(QApplication::focusWidget(), w.detail()->Grid);
        type(QStringLiteral("5"));
        press(Qt::Key_Return);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(env.readBack("SELECT Amount FROM Orders WHERE OrderID = 1"), std::string("5"));

        clickCell(w.master().Grid, 0, 1);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Insert);
        QCOMPARE(QApplication::focusWidget(), w.detail()->Grid);
        QCOMPARE(w.detail()->Grid->currentIndex().row(), w.detail()->query().currentRow());
        QCOMPARE(w.detail()->Grid->currentIndex().column(), 3); // still Amount
        type(QStringLiteral("77"));
        press(Qt::Key_Return);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE Amount = 77"),
                 std::string("ALFKI"));
        QCOMPARE(w.query().state(), vdata::DataSetState::Browse);
        QCOMPARE(env.readBack("SELECT CompanyName FROM Customers WHERE CustomerID = 'ALFKI'"),
                 std::string("Alfreds Futterkiste"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // A new child row gets, in each paired child field, the paired master
    // field's value; unpaired fields keep the engine's defaults.
    void newChildRowTakesThePairedMasterValues_data() {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgres") << true;
    }
    void newChildRowTakesThePairedMasterValues() {
        QFETCH(bool, postgres);
        if (postgres && !pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        Env env(linesSqlite);
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        if (postgres) {
            pg = std::make_unique<pgtest::ScratchDatabase>("md");
            pg->exec(linesPostgres);
            env.dm.connection.close();
            env.dm.connection.setConnectionString(pg->connectionString());
            env.dm.connection.open();
        }
        const auto readBack = [&](const std::string& sql) {
            if (!postgres) {
                return env.readBack(sql);
            }
            const auto rows = pg->query(sql);
            return rows.empty() ? std::string("<no row>") : rows.at(0).at(0);
        };
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("orders"));
        chooseTable(w, w.setup()->cboChildTable, QStringLiteral("order_lines"));
        pair(w, QStringLiteral("id"), QStringLiteral("order_id"));
        w.setup()->MCRefreshButton->click();
        showOnScreen(w);
        clickCell(w.master().Grid, 1, 1); // order 20, no lines yet
        QCOMPARE(w.detail()->query().recordCount(), 0);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Insert);
        clickCell(w.detail()->Grid, w.detail()->query().currentRow(), 2);
        type(QStringLiteral("7"));
        press(Qt::Key_Return);
        clickButton(w.detail()->DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(env.dialogs.texts(), QStringList{});
        QCOMPARE(readBack("SELECT order_id || ' ' || id || ' ' || note FROM order_lines "
                          "WHERE qty = 7"),
                 std::string("20 2 none"));
        QCOMPARE(w.detail()->query().recordCount(), 1);
    }

    // From the top: the set-up, the master, the detail. The bar between the
    // set-up and the master moves with the mouse; the detail keeps its
    // height. Only the master's titles are bold.
    void setUpStandsAboveTheMasterAndTheBarMoves() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        w.resize(800, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto top = [&](QWidget* part) { return part->mapTo(&w, QPoint(0, 0)).y(); };
        QVERIFY(top(w.setup()) < top(w.master().edTrazi));
        QVERIFY(top(w.master().Grid) < top(w.detail()));
        QVERIFY(w.master().Grid->horizontalHeader()->font().bold());
        QVERIFY(!w.detail()->Grid->horizontalHeader()->font().bold());
        const int master = w.master().height();
        const int setup = w.setup()->height();
        const int detail = w.detail()->height();
        QSplitterHandle* bar = w.splitter()->handle(1);
        const QPoint from = bar->rect().center();
        const QPoint to = from + QPoint(0, 40);
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QMouseEvent drag(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(bar, &drag);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
        QCOMPARE(w.setup()->height(), setup + 40);
        QCOMPARE(w.master().height(), master - 40);
        QCOMPARE(w.detail()->height(), detail);
    }

    // Steps on Customers -> Orders linked by CustomerID and Country: m:T / c:T
    // choose the master / child table, p:M=C pairs two fields, r:N / d:N click
    // row N of the pairs, then Remove pair / Delete.
    void pairsFollowTheTablesAndCanBeRemoved_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("childCounter");
        auto row = [](const char* name, QString steps, QString pairs, QString counter) {
            QTest::newRow(name) << steps << pairs << counter;
        };
        row("master", "m:Orders", "CustomerID=CustomerID", "Record 1 / 3");
        row("child", "c:Customers", "CustomerID=CustomerID", "Record 1 / 1");
        row("empty child", "m:Empty p:ID=OrderID", "ID=OrderID", "Record -1 / 0");
        row("four", "p:Rating=Amount p:Joined=OrderID",
            "CustomerID=CustomerID Country=ShipCountry Rating=Amount Joined=OrderID",
            "Record -1 / 0");
        row("button", "r:0", "Country=ShipCountry", "Record 1 / 2");
        row("Delete", "d:1", "CustomerID=CustomerID", "Record 1 / 3");
    }

    void pairsFollowTheTablesAndCanBeRemoved() {
        QFETCH(QString, steps);
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        showOnScreen(w);
        QCOMPARE(w.detail()->edTrazi->text(), DataSetPanel::searchPlaceholder);
        linkCustomersToOrders(w);
        RelationSetup& s = *w.setup();
        for (const QString& step : steps.split(' ')) {
            const QString arg = step.mid(2);
            if (step[0] == 'm' || step[0] == 'c') {
                chooseTable(w, step[0] == 'm' ? s.cboMasterTable : s.cboChildTable, arg);
            } else if (step[0] == 'p') {
                pair(w, arg.section('=', 0, 0), arg.section('=', 1));
            } else {
                const QRect row = s.Rel->visualRect(s.Rel->model()->index(arg.toInt(), 0));
                QTest::mouseClick(s.Rel->viewport(), Qt::LeftButton, {}, row.center());
                step[0] == 'r' ? QTest::mouseClick(s.RemovePairButton, Qt::LeftButton)
                               : QTest::keyClick(s.Rel, Qt::Key_Delete);
            }
        }
        QStringList pairs;
        for (const auto& [master, child] : s.pairs()) {
            pairs << tk::qs(master + '=' + child);
        }
        QTEST(pairs.join(' '), "pairs");
        const QModelIndex last = s.Rel->model()->index(s.Rel->rowCount() - 1, 1);
        QVERIFY(s.Rel->viewport()->rect().contains(s.Rel->visualRect(last))); // no scrolling
        s.MCRefreshButton->click();
        QCOMPARE(env.dialogs.texts(), QStringList{});
        QVERIFY(w.query().active() && w.detail()->query().active());
        QTEST(w.detail()->lblRecNo->text(), "childCounter");
    }

    // Each row: "database.master.child", the pairs, the child rows of the
    // first master row, the other keys the tooltip names.
    void pairsComeFromTheDeclaredKey_data() {
        for (const char* name : {"database", "master", "child", "pairs"}) {
            QTest::addColumn<QString>(name);
        }
        QTest::addColumn<int>("childRows");
        QTest::addColumn<QString>("otherKeys");
        const auto row = [](const char* where, const char* pairs, int rows, const char* others) {
            const QStringList in = QString(where).split('.');
            QTest::newRow(where) << in[0] << in[1] << in[2] << QString(pairs) << rows
                                 << QString(others);
        };
        row("chinook.Artist.Album", "ArtistId=ArtistId", 2, ""); // the child refers
        row("chinook.Album.Artist", "ArtistId=ArtistId", 1, ""); // the master refers
        row("chinook.Invoice.InvoiceLine", "InvoiceId=InvoiceId", 2, "");
        if (AccessTestData::present()) {
            row("nwind.Customers.Orders", "CustomerID=CustomerID", 6, "");
        }
        if (pgtest::testServer()) {
            row("shelves.shelf.box", "aisle=home_aisle bay=home_bay", 3,
                "box (at_aisle, at_bay) \u2192 shelf (aisle, bay)");
        }
        if (mariadbtest::testServer()) {
            // MariaDB keeps no order of declaration; its key names, numbered as
            // declared, give it.
            row("mariadb-shelves.shelf `s` [1].box ]\"b\"",
                "ai sle=home `aisle` bay \"b\"=home bay", 3,
                "box ]\"b\" (at \"aisle\", at [bay]) \u2192 shelf `s` [1] (ai sle, bay \"b\")");
        }
    }

    // Choosing the two tables pairs them by the first key declared between
    // them, ready to show; the pair list's tooltip names any other key, and
    // adding a pair already listed changes nothing.
    void pairsComeFromTheDeclaredKey() {
        QFETCH(QString, database);
        QFETCH(QString, master);
        QFETCH(QString, child);
        Env env("PRAGMA user_version = 1;");
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        keydb::connectTo(env, database, pg);
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        RelationSetup& s = *w.setup();
        pick(s.cboMasterTable, master);
        pick(s.cboChildTable, child);
        QTEST(pairTexts(s).join(' '), "pairs");
        QFETCH(QString, otherKeys);
        QCOMPARE(s.Rel->toolTip().contains(otherKeys), true);
        QCOMPARE(s.Rel->toolTip().isEmpty(), otherKeys.isEmpty());
        s.MCRefreshButton->click();
        QTEST(w.detail()->query().recordCount(), "childRows");
        const auto first = s.pairs().front();
        pair(w, tk::qs(first.first), tk::qs(first.second));
        QTEST(pairTexts(s).join(' '), "pairs");
        QCOMPARE(env.dialogs.texts(), QStringList{});
    }

    void databaseWithoutTables() {
        Env env("PRAGMA user_version = 1;");
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        QCOMPARE(w.setup()->cboMasterTable->count(), 0);
        QCOMPARE(w.setup()->cboChildTable->count(), 0);
        emit w.setup()->cboMasterTable->activated(w.setup()->cboMasterTable->currentIndex());
        QCOMPARE(w.setup()->lbMasterFields->count(), 0);
        w.setup()->MCRefreshButton->click();
        QCOMPARE(env.dialogs.texts(), QStringList{"You must setup master-detail relations!"});
    }
};

QTEST_MAIN(TestMasterDetail)
#include "tst_masterdetail.moc"
