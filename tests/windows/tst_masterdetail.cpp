// The master-detail window on a real SQLite file: field probes, the relation
// list, the texts of both queries, the linked child grid and its counter,
// and inserting child rows.

#include "WindowTestEnv.h"

#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Text.h"
#include "toolkit/ValueListEditor.h"
#include "windows/GridMasterFieldsForm.h"

#include <QListWidget>
#include <QTest>
#include <QToolButton>

using namespace wintest;

namespace {

void chooseTable(TfrmGridMasterFields& w, QComboBox* list, const QString& table) {
    list->setCurrentIndex(list->findText(table));
    w.cboMasterTableClick(list);
}

void selectField(QListWidget* fields, const QString& name) {
    const QList<QListWidgetItem*> found = fields->findItems(name, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    fields->setCurrentItem(found.first());
}

void pair(TfrmGridMasterFields& w, const QString& master, const QString& child) {
    selectField(w.uiMD.lbMasterFields, master);
    selectField(w.uiMD.lbChildFields, child);
    w.AddRelButtonClick();
}

QStringList items(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result << list->item(i)->text();
    }
    return result;
}

// Customers linked to Orders by (CustomerID, CustomerID), (Country, ShipCountry).
void linkCustomersToOrders(TfrmGridMasterFields& w, bool withCountry = true) {
    chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Customers"));
    chooseTable(w, w.uiMD.cboChildTable, QStringLiteral("Orders"));
    pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
    if (withCountry) {
        pair(w, QStringLiteral("Country"), QStringLiteral("ShipCountry"));
    }
    w.MCRefreshButtonClick();
}

} // namespace

class TestMasterDetail : public QObject {
    Q_OBJECT
private slots:
    void initialStateListsTablesAndNothingElse() {
        Env env;
        TfrmGridMasterFields w;
        w.FormCreate(nullptr);
        QCOMPARE(w.uiMD.cboMasterTable->count(), int(env.dm.ADOConn.tableNames().size()));
        QCOMPARE(w.uiMD.cboChildTable->count(), w.uiMD.cboMasterTable->count());
        QCOMPARE(w.uiMD.cboMasterTable->currentIndex(), -1);
        QCOMPARE(w.uiMD.Rel->pairCount(), 0);
        QCOMPARE(w.uiMD.Rel->cell(1, 1), QString());
        QCOMPARE(w.uiMD.Rel->cell(0, 0), QStringLiteral("Master"));
        QCOMPARE(w.uiMD.Rel->cell(1, 0), QStringLiteral("Child"));
        QVERIFY(!w.Query.active() && !w.QueryChild.active());
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("No dataset opened!"));
    }

    void customersAndOrdersGiveTheExactTexts() {
        Env env;
        TfrmGridMasterFields w;
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

    void masterFieldWithABlankFailsTheChildOnly() {
        Env env;
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
    }

    void tableWithABlankCannotBeProbed() {
        Env env;
        TfrmGridMasterFields w;
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Customers"));
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Order Lines"));
        QCOMPARE(w.uiMD.lbMasterFields->count(), 0);
        QCOMPARE(env.count("error"), 1);
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

    void emptyMasterGivesAnEmptyChild() {
        Env env;
        TfrmGridMasterFields w;
        chooseTable(w, w.uiMD.cboMasterTable, QStringLiteral("Empty"));
        chooseTable(w, w.uiMD.cboChildTable, QStringLiteral("Orders"));
        pair(w, QStringLiteral("ID"), QStringLiteral("OrderID"));
        w.MCRefreshButtonClick();
        QVERIFY(w.Query.active() && w.QueryChild.active());
        QCOMPARE(w.QueryChild.recordCount(), 0);
        QCOMPARE(w.ui.lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(w.uiMD.lblRecNoChild->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(env.dialogs.shown.size(), 0);
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

    void anotherChildTableKeepsThePairs() {
        Env env;
        TfrmGridMasterFields w;
        linkCustomersToOrders(w, false);
        chooseTable(w, w.uiMD.cboChildTable, QStringLiteral("Empty"));
        QCOMPARE(w.uiMD.Rel->pairCount(), 1);
        w.MCRefreshButtonClick();
        QVERIFY(w.Query.active());
        QVERIFY(!w.QueryChild.active());
        QCOMPARE(env.count("error"), 1);
    }
};

QTEST_MAIN(TestMasterDetail)
#include "tst_masterdetail.moc"
