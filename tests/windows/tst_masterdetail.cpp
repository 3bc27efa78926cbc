// The master-detail window on a real SQLite file (and the PostgreSQL test
// server where it matters): field probes, the relation list, the texts of
// both queries, the linked child grid and its counter, inserting child rows,
// and a user clicking and typing in both grids.

#include "tests/support/WindowTestEnv.h"

#include "tests/support/PgTestEnv.h"

#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/ValueListEditor.h"

#include <QApplication>
#include <QListWidget>
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

// A window on screen, so that clicks and keys reach it as they reach a user's.
void showOnScreen(TfrmGridMasterFields& w) {
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
        TfrmGridMasterFields w(env.connection());
        w.FormCreate(nullptr); // lists the tables, opens nothing
        QCOMPARE(entries(w.cboMasterTable), entries(w.cboChildTable));
        QCOMPARE(w.cboMasterTable->count(), int(env.dm.connection.tableNames().size()));
        QCOMPARE(w.cboMasterTable->currentIndex(), -1);
        QCOMPARE(w.Rel->pairCount(), 0);
        QCOMPARE(w.Rel->cell(0, 0), QStringLiteral("Master"));
        QCOMPARE(w.Rel->cell(1, 0), QStringLiteral("Child"));
        QVERIFY(!w.Query.active() && !w.QueryChild.active());
        chooseTable(w, w.cboMasterTable, QStringLiteral("Customers"));
        QCOMPARE(items(w.lbMasterFields), (QStringList{"CustomerID", "CompanyName", "Country",
                                                       "Rating", "Joined", "Balance"}));
        linkCustomersToOrders(w);
        QCOMPARE(w.Query.sql(), std::string("SELECT * FROM [Customers]"));
        QCOMPARE(w.QueryChild.sql(), std::string("SELECT * FROM [Orders]\r\n"
                                                 "WHERE \r\n"
                                                 "[Orders].[CustomerID] = :CustomerID\r\n"
                                                 " AND \r\n"
                                                 "[Orders].[ShipCountry] = :Country\r\n"));
        QVERIFY(w.Query.active() && w.QueryChild.active());
        // ALFKI in Germany: orders 1 and 4, not the French one.
        QCOMPARE(w.QueryChild.recordCount(), 2);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 1 / 2"));
        QCOMPARE(w.lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        QCOMPARE(w.GridChild->model()->rowCount(), 2);
        QCOMPARE(env.dialogs.shown.size(), 0);
        // The search lists follow the opened results.
        QCOMPARE(w.cboTraziPo->count(), 5);
        QCOMPARE(w.cboTraziPoChild->count(), 4);
    }

    void childFollowsTheMasterRowAndItsCounter() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        QCOMPARE(w.QueryChild.recordCount(), 3);
        w.Query.moveTo(1); // ANATR: one order
        QCOMPARE(w.QueryChild.recordCount(), 1);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 1 / 1"));
        w.Query.moveTo(2); // BERGS: none
        QCOMPARE(w.QueryChild.recordCount(), 0);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(w.GridChild->model()->rowCount(), 0);
        QCOMPARE(w.lblRecNo->text(), QStringLiteral("Record 3 / 4"));

        // An empty master gives an empty child; neither counter is told.
        TfrmGridMasterFields e(env.connection());
        chooseTable(e, e.cboMasterTable, QStringLiteral("Empty"));
        chooseTable(e, e.cboChildTable, QStringLiteral("Orders"));
        pair(e, QStringLiteral("ID"), QStringLiteral("OrderID"));
        e.MCRefreshButtonClick();
        QVERIFY(e.Query.active() && e.QueryChild.active());
        QCOMPARE(e.QueryChild.recordCount(), 0);
        QCOMPARE(e.lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(e.lblRecNoChild->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void refreshWithoutPairsClosesBothAndComplains() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        QVERIFY(w.Query.active());
        w.Rel->selectRow(0);
        QTest::keyClick(w.Rel, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.Rel->pairCount(), 0);
        w.MCRefreshButtonClick();
        QVERIFY(!w.Query.active() && !w.QueryChild.active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, QStringLiteral("Error"));
        QCOMPARE(env.dialogs.shown.last().text,
                 QStringLiteral("You must setup master-detail relations!"));
    }

    void relationListRefusalsReachTheDefaultReport() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        chooseTable(w, w.cboMasterTable, QStringLiteral("Customers"));
        chooseTable(w, w.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("ShipCountry"));
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, appTitle);
        QCOMPARE(env.dialogs.shown.last().text,
                 QStringLiteral("A key with the name of \"CustomerID\" already exists."));
        // The same child field may serve two pairs.
        pair(w, QStringLiteral("Country"), QStringLiteral("CustomerID"));
        QCOMPARE(w.Rel->pairCount(), 2);
        QCOMPARE(w.Rel->value(1), QStringLiteral("CustomerID"));
        // Ctrl+Shift+Delete is not the delete key of the list.
        w.Rel->selectRow(0);
        QTest::keyClick(w.Rel, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.Rel->pairCount(), 2);
        // Nothing selected on one side: nothing happens.
        w.lbChildFields->clearSelection();
        w.AddRelButtonClick();
        QCOMPARE(w.Rel->pairCount(), 2);
        QCOMPARE(env.count("error"), 1);
    }

    void sameTableAsMasterAndChild() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        chooseTable(w, w.cboMasterTable, QStringLiteral("Orders"));
        chooseTable(w, w.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
        w.MCRefreshButtonClick();
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(w.QueryChild.recordCount(), 3); // ALFKI's three orders
        w.Query.moveTo(2);                       // ANATR
        QCOMPARE(w.QueryChild.recordCount(), 1);
        QCOMPARE(w.QueryChild.cellText(0, 0), std::string("3"));
    }

    // The child fails, the master stays open: another child table that lacks
    // the paired field (the pairs are kept).
    void childFailuresLeaveTheMasterOpen() {
        Env env;
        TfrmGridMasterFields other(env.connection());
        linkCustomersToOrders(other, false);
        chooseTable(other, other.cboChildTable, QStringLiteral("Empty"));
        QCOMPARE(other.Rel->pairCount(), 1);
        other.MCRefreshButtonClick();
        QVERIFY(other.Query.active());
        QVERIFY(!other.QueryChild.active());
        QCOMPARE(env.count("error"), 1);
        env.dialogs.clear();

        // A master field with a blank gets a parameter name of its own; a
        // table name with a blank is probed for its fields.
        TfrmGridMasterFields w(env.connection());
        chooseTable(w, w.cboMasterTable, QStringLiteral("Staff"));
        chooseTable(w, w.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("Staff ID"), QStringLiteral("OrderID"));
        w.MCRefreshButtonClick();
        QCOMPARE(w.QueryChild.sql(),
                 std::string("SELECT * FROM [Orders]\r\nWHERE \r\n[Orders].[OrderID] = :p1\r\n"));
        QCOMPARE(column(w.QueryChild, 0), QStringList{"1"});
        w.Query.moveTo(1);
        QCOMPARE(column(w.QueryChild, 0), QStringList{"2"});
        chooseTable(w, w.cboMasterTable, QStringLiteral("Order Lines"));
        QCOMPARE(items(w.lbMasterFields), (QStringList{"ID", "Qty"}));
        QCOMPARE(env.dialogs.texts(), QStringList{});
    }

    void childInsertTakesTheMastersValue() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        w.Query.moveTo(2); // BERGS, no orders yet
        w.DBNavigatorChild->button(tk::DBNavigator::Insert)->click();
        QCOMPARE(w.QueryChild.state(), vdata::DataSetState::Insert);
        QCOMPARE(w.QueryChild.fieldByName("CustomerID").asString(), std::string("BERGS"));
        w.QueryChild.fieldByName("OrderID").setAsString("9");
        w.QueryChild.fieldByName("Amount").setAsString("90");
        w.DBNavigatorChild->button(tk::DBNavigator::Post)->click();
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE OrderID = 9"),
                 std::string("BERGS"));
        QCOMPARE(w.QueryChild.recordCount(), 1);
    }

    void childNavigatorRefreshKeepsTheCounter() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        w.QueryChild.moveTo(2);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 3 / 3"));
        {
            auto other = env.other();
            vdata::Command add(other.get());
            add.setCommandText("INSERT INTO Orders VALUES (5, 'ALFKI', 'Spain', 1)");
            add.execute();
        }
        w.DBNavigatorChild->button(tk::DBNavigator::Refresh)->click();
        QCOMPARE(w.QueryChild.recordCount(), 4);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 3 / 3"));
    }

    // A child change the database refuses holds the master where it is: the
    // message is shown, both grids, both counters and the child rows stay,
    // and a child row added after cancelling takes the shown master's key.
    void refusedChildChangeKeepsTheMaster() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        showOnScreen(w);
        clickCell(w.GridChild, 1, 0); // order 2 of ALFKI
        retype(QStringLiteral("3"));  // the key of ANATR's order
        clickCell(w.Grid, 1, 1);      // ANATR
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(w.QueryChild.currentValue(0).toText(), std::string("3"));
        clickButton(w.DBNavigator, tk::DBNavigator::Next);
        QCOMPARE(env.count("error"), 2);
        QCOMPARE(w.Query.currentRow(), 0);
        QCOMPARE(w.Grid->currentIndex().row(), 0);
        QCOMPARE(w.lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        QCOMPARE(w.QueryChild.state(), vdata::DataSetState::Edit);
        QCOMPARE(column(w.QueryChild, 1), (QStringList{"ALFKI", "ALFKI", "ALFKI"}));
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 2 / 3"));

        QTest::keyClick(w.GridChild, Qt::Key_Escape);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Insert);
        clickCell(w.GridChild, w.QueryChild.currentRow(), 0);
        type(QStringLiteral("9"));
        press(Qt::Key_Return);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Post);
        QCOMPARE(env.count("error"), 2);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE OrderID = 9"),
                 std::string("ALFKI"));
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders WHERE OrderID = 3"), std::string("1"));
        clickCell(w.Grid, 1, 1); // free to move now
        QCOMPARE(w.Query.currentRow(), 1);
        QCOMPARE(column(w.QueryChild, 0), QStringList{"3"});
    }

    // The child follows the master's record: none while the master inserts,
    // the stored values while it edits a linked field, the new ones once the
    // change is saved.
    void childFollowsMasterInsertAndLinkedEdits() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w);
        showOnScreen(w);
        clickButton(w.DBNavigator, tk::DBNavigator::Insert);
        QCOMPARE(w.QueryChild.recordCount(), 0);
        QCOMPARE(w.GridChild->model()->rowCount(), 0);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record -1 / 0"));
        clickButton(w.DBNavigator, tk::DBNavigator::Cancel);
        QCOMPARE(column(w.QueryChild, 0), (QStringList{"1", "4"}));

        clickCell(w.Grid, 0, 2); // ALFKI's Country
        retype(QStringLiteral("France"));
        press(Qt::Key_Return);
        QCOMPARE(w.Query.state(), vdata::DataSetState::Edit);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Refresh);
        QCOMPARE(column(w.QueryChild, 0), (QStringList{"1", "4"}));
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 1 / 2"));
        clickButton(w.DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(column(w.QueryChild, 0), QStringList{"2"});
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 1 / 1"));
        QCOMPARE(env.readBack("SELECT Country FROM Customers WHERE CustomerID = 'ALFKI'"),
                 std::string("France"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Deleting the last child row leaves the counter at no record.
    void deletingTheLastRowUpdatesTheCounter() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        showOnScreen(w);
        clickCell(w.Grid, 1, 1); // ANATR: one order
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 1 / 1"));
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Delete);
        QCOMPARE(env.count("confirm"), 1);
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders WHERE CustomerID = 'ANATR'"),
                 std::string("0"));
    }

    // Add and Edit put the keyboard in the navigator's own grid, on the new
    // or edited row: what the user types then goes there, not to the master.
    void addAndEditTypeIntoTheNavigatorsGrid() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        showOnScreen(w);
        clickCell(w.GridChild, 0, 3); // order 1's Amount ...
        clickCell(w.Grid, 0, 1);      // ... then the keyboard in the master grid
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Edit);
        QCOMPARE(QApplication::focusWidget(), w.GridChild);
        type(QStringLiteral("5"));
        press(Qt::Key_Return);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Post);
        QCOMPARE(env.readBack("SELECT Amount FROM Orders WHERE OrderID = 1"), std::string("5"));

        clickCell(w.Grid, 0, 1);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Insert);
        QCOMPARE(QApplication::focusWidget(), w.GridChild);
        QCOMPARE(w.GridChild->currentIndex().row(), w.QueryChild.currentRow());
        QCOMPARE(w.GridChild->currentIndex().column(), 3); // still Amount
        type(QStringLiteral("77"));
        press(Qt::Key_Return);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Post);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE Amount = 77"),
                 std::string("ALFKI"));
        QCOMPARE(w.Query.state(), vdata::DataSetState::Browse);
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
        TfrmGridMasterFields w(env.connection());
        chooseTable(w, w.cboMasterTable, QStringLiteral("orders"));
        chooseTable(w, w.cboChildTable, QStringLiteral("order_lines"));
        pair(w, QStringLiteral("id"), QStringLiteral("order_id"));
        w.MCRefreshButtonClick();
        showOnScreen(w);
        clickCell(w.Grid, 1, 1); // order 20, no lines yet
        QCOMPARE(w.QueryChild.recordCount(), 0);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Insert);
        clickCell(w.GridChild, w.QueryChild.currentRow(), 2);
        type(QStringLiteral("7"));
        press(Qt::Key_Return);
        clickButton(w.DBNavigatorChild, tk::DBNavigator::Post);
        QCOMPARE(env.dialogs.texts(), QStringList{});
        QCOMPARE(readBack("SELECT order_id || ' ' || id || ' ' || note FROM order_lines "
                          "WHERE qty = 7"),
                 std::string("20 2 none"));
        QCOMPARE(w.QueryChild.recordCount(), 1);
    }

    void databaseWithoutTables() {
        Env env("PRAGMA user_version = 1;");
        TfrmGridMasterFields w(env.connection());
        QCOMPARE(w.cboMasterTable->count(), 0);
        QCOMPARE(w.cboChildTable->count(), 0);
        w.cboMasterTableClick(w.cboMasterTable);
        QCOMPARE(w.lbMasterFields->count(), 0);
        w.MCRefreshButtonClick();
        QCOMPARE(env.dialogs.texts(), QStringList{"You must setup master-detail relations!"});
    }
};

QTEST_MAIN(TestMasterDetail)
#include "tst_masterdetail.moc"
