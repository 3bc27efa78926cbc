#pragma once

// A connected program for data-window tests (a real SQLite file made from a
// script), and the helpers that set up the data windows it opens.

#include "data/service/Query.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/TestDb.h"
#include "toolkit/Text.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindow.h"
#include "windows/RelationSetup.h"

#include <QListWidget>

#include <memory>

namespace wintest {

inline const QString& appTitle = program::title;
using program::entries;
using program::failOnConnectionWarnings;

// Customers and their orders, plus tables for the odd cases.
inline const char* const shopScript = R"sql(
CREATE TABLE Customers (CustomerID VARCHAR(5) PRIMARY KEY, CompanyName VARCHAR(40),
                        Country VARCHAR(15), Rating INT, Joined DATE, Balance DECIMAL(10,2));
INSERT INTO Customers VALUES ('ALFKI', 'Alfreds Futterkiste', 'Germany', 3, '2020-01-05', 10.5);
INSERT INTO Customers VALUES ('ANATR', 'Ana Trujillo', 'Mexico', 5, '2019-03-01', 0);
INSERT INTO Customers VALUES ('BERGS', 'Berglunds snabbkop', 'Sweden', 1, '2021-07-30', NULL);
INSERT INTO Customers VALUES ('BLAUS', 'Blauer See', 'Germany', 4, NULL, 7);
CREATE TABLE Orders (OrderID INT PRIMARY KEY, CustomerID VARCHAR(5), ShipCountry VARCHAR(15),
                     Amount INT);
INSERT INTO Orders VALUES (1, 'ALFKI', 'Germany', 100);
INSERT INTO Orders VALUES (2, 'ALFKI', 'France', 200);
INSERT INTO Orders VALUES (3, 'ANATR', 'Mexico', 300);
INSERT INTO Orders VALUES (4, 'ALFKI', 'Germany', 400);
CREATE TABLE Empty (ID INT, Name VARCHAR(20));
CREATE TABLE "Query" (ID INT, Name VARCHAR(20));
INSERT INTO "Query" VALUES (1, 'inside');
CREATE TABLE "Order Lines" (ID INT, Qty INT);
INSERT INTO "Order Lines" VALUES (7, 2);
CREATE TABLE Codes (ID INTEGER PRIMARY KEY, Price REAL, Picture BLOB);
INSERT INTO Codes (Price, Picture) VALUES (1.5, x'00ff');
CREATE TABLE Staff ("Staff ID" INT, Name VARCHAR(20), Boss INT);
INSERT INTO Staff VALUES (1, 'Ann', 1);
INSERT INTO Staff VALUES (2, 'Bob', 1);
INSERT INTO Staff VALUES (3, 'Cid', 2);
CREATE TABLE "we]ird" (ID INT);
)sql";

// The program connected to a file made from `script`.
struct Env : ProgramFixture {
    explicit Env(const char* script = shopScript) : ProgramFixture(script) {}
};

// A window of the base class alone (no child set) on one table.
inline std::unique_ptr<DataWindow> baseWindow(vdata::Connection& connection,
                                              const std::string& table) {
    auto w = std::make_unique<DataWindow>(connection, DataWindow::Use::Table);
    w->query().setSQL("SELECT * FROM [" + table + "]");
    w->query().open();
    w->initialise();
    return w;
}

inline QStringList column(const vdata::Query& q, int col) {
    QStringList values;
    for (int r = 0; r < q.recordCount(); ++r) {
        values << tk::qs(q.cellText(r, col));
    }
    return values;
}

// Master-detail set-up: choose a table in one of the two lists, pair fields.
inline void chooseTable(DataWindow&, QComboBox* list, const QString& table) {
    list->setCurrentIndex(list->findText(table));
    emit list->activated(list->currentIndex());
}

inline void pair(DataWindow& w, const QString& master, const QString& child) {
    for (auto [fields, name] : {std::pair{w.setup()->lbMasterFields, master},
                                std::pair{w.setup()->lbChildFields, child}}) {
        const QList<QListWidgetItem*> found = fields->findItems(name, Qt::MatchExactly);
        if (!found.isEmpty()) {
            fields->setCurrentItem(found.first());
        }
    }
    w.setup()->AddRelButton->click();
}

// Customers linked to Orders by CustomerID, and Country to ShipCountry.
inline void linkCustomersToOrders(DataWindow& w, bool withCountry = true) {
    chooseTable(w, w.setup()->cboMasterTable, QStringLiteral("Customers"));
    chooseTable(w, w.setup()->cboChildTable, QStringLiteral("Orders"));
    pair(w, QStringLiteral("CustomerID"), QStringLiteral("CustomerID"));
    if (withCountry) {
        pair(w, QStringLiteral("Country"), QStringLiteral("ShipCountry"));
    }
    w.setup()->MCRefreshButton->click();
}

} // namespace wintest
