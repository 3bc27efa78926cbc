// The master-detail window on a real SQLite file: field probes, the relation
// list, the texts of both queries, the linked child grid and its counter,
// and inserting child rows.

#include "WindowTestEnv.h"

#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/ValueListEditor.h"

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

} // namespace

class TestMasterDetail : public QObject {
    Q_OBJECT
private slots:
    void customersAndOrdersGiveTheExactTexts() {
        Env env;
        TfrmGridMasterFields w;
        w.FormCreate(nullptr); // lists the tables, opens nothing
        QCOMPARE(entries(w.uiMD.cboMasterTable), entries(w.uiMD.cboChildTable));
        QCOMPARE(w.uiMD.cboMasterTable->count(), int(env.dm.ADOConn.tableNames().size()));
        QCOMPARE(w.uiMD.cboMasterTable->currentIndex(), -1);
        QCOMPARE(w.uiMD.Rel->pairCount(), 0);
        QCOMPARE(w.uiMD.Rel->cell(0, 0), QStringLiteral("Master"));
        QCOMPARE(w.uiMD.Rel->cell(1, 0), QStringLiteral("Child"));
        QVERIFY(!w.Query.active() && !w.QueryChild.active());
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Customers"));
        QCOMPARE(items(w.uiMD.lbMasterFields), (QStringList{"CustomerID", "CompanyName", "Country",
                                                            "Rating", "Joined", "Balance"}));
        linkCustomersToOrders(w);
        QCOMPARE(w.Query.sql(), std::string("SELECT * FROM [Customers]"));
        QCOMPARE(w.QueryChild.sql(), std::string("SELECT * FROM [Orders]\r\n"
                                                 "WHERE \r\n"
                                                 "Orders.CustomerID = :CustomerID\r\n"
                                                 " AND \r\n"
                                                 "Orders.ShipCountry = :Country\r\n"));
        QVERIFY(w.Query.active() && w.QueryChild.active());
        // ALFKI in Germany: orders 1 and 4, not the French one.
        QCOMPARE(w.QueryChild.recordCount(), 2);
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("Record 1 / 2"));
        QCOMPARE(w.ui.lblRecNo->text(), QStringLiteral("Record 1 / 4"));
        QCOMPARE(w.uiMD.GridChild->model()->rowCount(), 2);
        QCOMPARE(env.dialogs.shown.size(), 0);
        // The search lists follow the opened results.
        QCOMPARE(w.ui.cboTraziPo->count(), 5);
        QCOMPARE(w.uiMD.cboTraziPoChild->count(), 4);
    }

    void childFollowsTheMasterRowAndItsCounter() {
        Env env;
        TfrmGridMasterFields w;
        linkCustomersToOrders(w, false);
        QCOMPARE(w.QueryChild.recordCount(), 3);
        w.Query.moveTo(1); // ANATR: one order
        QCOMPARE(w.QueryChild.recordCount(), 1);
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("Record 1 / 1"));
        w.Query.moveTo(2); // BERGS: none
        QCOMPARE(w.QueryChild.recordCount(), 0);
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("Record -1 / 0"));
        QCOMPARE(w.uiMD.GridChild->model()->rowCount(), 0);
        QCOMPARE(w.ui.lblRecNo->text(), QStringLiteral("Record 3 / 4"));

        // An empty master gives an empty child; neither counter is told.
        TfrmGridMasterFields e;
        chooseTable(e, e.uiMD.cboMasterTable, QStringLiteral("Empty"));
        chooseTable(e, e.uiMD.cboChildTable, QStringLiteral("Orders"));
        pair(e, QStringLiteral("ID"), QStringLiteral("OrderID"));
        e.MCRefreshButtonClick();
        QVERIFY(e.Query.active() && e.QueryChild.active());
        QCOMPARE(e.QueryChild.recordCount(), 0);
        QCOMPARE(e.ui.lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(e.uiMD.lblRecNoChild->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void refreshWithoutPairsClosesBothAndComplains() {
        Env env;
        TfrmGridMasterFields w;
        linkCustomersToOrders(w, false);
        QVERIFY(w.Query.active());
        w.uiMD.Rel->selectRow(0);
        QTest::keyClick(w.uiMD.Rel, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.uiMD.Rel->pairCount(), 0);
        w.MCRefreshButtonClick();
        QVERIFY(!w.Query.active() && !w.QueryChild.active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, QStringLiteral("Error"));
        QCOMPARE(env.dialogs.shown.last().text,
                 QStringLiteral("You must setup master-detail relations!"));
    }

    void relationListRefusalsReachTheDefaultReport() {
        Env env;
        TfrmGridMasterFields w;
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Customers"));
        chooseTable(w, w.uiMD.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("ShipCountry"));
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, appTitle);
        QCOMPARE(env.dialogs.shown.last().text,
                 QStringLiteral("A key with the name of \"CustomerID\" already exists."));
        // The same child field may serve two pairs.
        pair(w, QStringLiteral("Country"), QStringLiteral("CustomerID"));
        QCOMPARE(w.uiMD.Rel->pairCount(), 2);
        QCOMPARE(w.uiMD.Rel->value(1), QStringLiteral("CustomerID"));
        // Ctrl+Shift+Delete is not the delete key of the list.
        w.uiMD.Rel->selectRow(0);
        QTest::keyClick(w.uiMD.Rel, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.uiMD.Rel->pairCount(), 2);
        // Nothing selected on one side: nothing happens.
        w.uiMD.lbChildFields->clearSelection();
        w.AddRelButtonClick();
        QCOMPARE(w.uiMD.Rel->pairCount(), 2);
        QCOMPARE(env.count("error"), 1);
    }

    void sameTableAsMasterAndChild() {
        Env env;
        TfrmGridMasterFields w;
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Orders"));
        chooseTable(w, w.uiMD.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
        w.MCRefreshButtonClick();
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(w.QueryChild.recordCount(), 3); // ALFKI's three orders
        w.Query.moveTo(2);                       // ANATR
        QCOMPARE(w.QueryChild.recordCount(), 1);
        QCOMPARE(w.QueryChild.cellText(0, 0), std::string("3"));
    }

    // The child fails, the master stays open: a master field with a blank, and
    // another child table that lacks the paired field (the pairs are kept).
    void childFailuresLeaveTheMasterOpen() {
        Env env;
        TfrmGridMasterFields other;
        linkCustomersToOrders(other, false);
        chooseTable(other, other.uiMD.cboChildTable, QStringLiteral("Empty"));
        QCOMPARE(other.uiMD.Rel->pairCount(), 1);
        other.MCRefreshButtonClick();
        QVERIFY(other.Query.active());
        QVERIFY(!other.QueryChild.active());
        QCOMPARE(env.count("error"), 1);
        env.dialogs.clear();

        TfrmGridMasterFields w;
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Staff"));
        chooseTable(w, w.uiMD.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("Staff ID"), QStringLiteral("OrderID"));
        w.MCRefreshButtonClick();
        QVERIFY(w.Query.active());
        QVERIFY(!w.QueryChild.active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.last().caption, QStringLiteral("Error"));
        QVERIFY(!env.dialogs.shown.last().text.isEmpty());
        // A table name with a blank cannot be probed for its fields.
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Order Lines"));
        QCOMPARE(w.uiMD.lbMasterFields->count(), 0);
        QCOMPARE(env.count("error"), 2);
        QCOMPARE(env.dialogs.shown.last().caption, QStringLiteral("Error"));
    }

    void childInsertTakesTheMastersValue() {
        Env env;
        TfrmGridMasterFields w;
        linkCustomersToOrders(w, false);
        w.Query.moveTo(2); // BERGS, no orders yet
        w.uiMD.DBNavigatorChild->button(TDBNavigator::Insert)->click();
        QCOMPARE(w.QueryChild.state(), vdata::DataSetState::Insert);
        QCOMPARE(w.QueryChild.fieldByName("CustomerID").asString(), std::string("BERGS"));
        w.QueryChild.fieldByName("OrderID").setAsString("9");
        w.QueryChild.fieldByName("Amount").setAsString("90");
        w.uiMD.DBNavigatorChild->button(TDBNavigator::Post)->click();
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(env.readBack("SELECT CustomerID FROM Orders WHERE OrderID = 9"),
                 std::string("BERGS"));
        QCOMPARE(w.QueryChild.recordCount(), 1);
    }

    void childNavigatorRefreshKeepsTheCounter() {
        Env env;
        TfrmGridMasterFields w;
        linkCustomersToOrders(w, false);
        w.QueryChild.moveTo(2);
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("Record 3 / 3"));
        {
            auto other = env.other();
            vdata::Command add(other.get());
            add.setCommandText("INSERT INTO Orders VALUES (5, 'ALFKI', 'Spain', 1)");
            add.execute();
        }
        w.uiMD.DBNavigatorChild->button(TDBNavigator::Refresh)->click();
        QCOMPARE(w.QueryChild.recordCount(), 4);
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("Record 3 / 3"));
    }

    void databaseWithoutTables() {
        Env env("PRAGMA user_version = 1;");
        TfrmGridMasterFields w;
        QCOMPARE(w.uiMD.cboMasterTable->count(), 0);
        QCOMPARE(w.uiMD.cboChildTable->count(), 0);
        w.cboMasterTableClick(w.uiMD.cboMasterTable);
        QCOMPARE(w.uiMD.lbMasterFields->count(), 0);
        w.MCRefreshButtonClick();
        QCOMPARE(env.dialogs.texts(), QStringList{"You must setup master-detail relations!"});
    }
};

QTEST_MAIN(TestMasterDetail)
#include "tst_masterdetail.moc"
