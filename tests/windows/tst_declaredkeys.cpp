// What the table windows show of the keys a database declares: a mark and a
// tooltip on the titles of key columns, and the referring table named when a
// key refuses a delete or a key change; on Chinook, nwind.mdb and a
// PostgreSQL database with two-column keys.

#include "tests/support/GridDriver.h"
#include "tests/support/KeyDatabases.h"
#include "tests/support/WindowTestEnv.h"

#include "toolkit/DBGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace wintest;

namespace {

// The tooltip a user sees resting the mouse on a column's title.
QString titleToolTip(tk::DBGrid* grid, int column) {
    QHeaderView* titles = grid->horizontalHeader();
    const QPoint at(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2,
                    titles->height() / 2);
    QToolTip::hideText();
    QHelpEvent event(QEvent::ToolTip, at, titles->viewport()->mapToGlobal(at));
    QApplication::sendEvent(titles->viewport(), &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

int columnNamed(const DataWindow& w, const QString& name) {
    const QAbstractItemModel* model = w.master().Grid->model();
    for (int c = 0; c < model->columnCount(); ++c) {
        if (model->headerData(c, Qt::Horizontal).toString() == name) {
            return c;
        }
    }
    return -1;
}

} // namespace

class TestDeclaredKeys : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    // Each row: "database.table.column", whether its title is marked, its tooltip.
    void keyColumnTitlesSayWhatTheyReference_data() {
        for (const char* name : {"database", "table", "column"}) {
            QTest::addColumn<QString>(name);
        }
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("toolTip");
        const auto row = [](const char* where, bool marked, const char* toolTip) {
            const QStringList at = QString(where).split('.');
            QTest::newRow(where) << at[0] << at[1] << at[2] << marked << QString(toolTip);
        };
        row("chinook.Album.ArtistId", true, "References Artist (ArtistId)");
        row("chinook.Artist.ArtistId", false, "Referred to by Album (ArtistId)");
        row("chinook.Employee.EmployeeId", false,
            "Referred to by Customer (SupportRepId), Employee (ReportsTo)");
        row("chinook.Album.Title", false, "");
        if (AccessTestData::present()) {
            row("nwind.Orders.ShipVia", true, "References Shippers (ShipperID)");
        }
        if (pgtest::testServer()) {
            row("shelves.box.at_bay", true, "References shelf (aisle, bay)");
            row("shelves.shelf.bay", false,
                "Referred to by box (home_aisle, home_bay), box (at_aisle, at_bay)");
        }
    }

    void keyColumnTitlesSayWhatTheyReference() {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(QString, column);
        Env env("PRAGMA user_version = 1;");
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        keydb::connectTo(env, database, pg);
        const auto w = baseWindow(env.connection(), tk::ss(table));
        w->resize(1000, 600);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        tk::DBGrid* grid = w->master().Grid;
        const int at = columnNamed(*w, column);
        QVERIFY(at >= 0);
        QTEST(titleToolTip(grid, at), "toolTip");
        QTEST(!grid->model()->headerData(at, Qt::Horizontal, Qt::DecorationRole).isNull(),
              "marked");
        QCOMPARE(env.dialogs.texts(), QStringList{});
    }

    // Each row: "database.table", the row, the key typed over its first
    // column (none: the row is deleted), the tables named.
    void refusalNamesTheReferringTable_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("newKey");
        QTest::addColumn<QString>("referredBy");
        const auto row = [](const char* tag, const char* where, int at, const char* newKey,
                            const char* referredBy) {
            const QStringList in = QString(where).split('.');
            QTest::newRow(tag) << in[0] << in[1] << at << QString(newKey)
                               << "The row is still referred to by " + QString(referredBy) + ".";
        };
        row("delete", "chinook.Artist", 0, "", "Album (ArtistId)");
        row("key change", "chinook.Artist", 0, "9999", "Album (ArtistId)");
        // Customers refer to other employees, not to this one.
        row("only tables that refer", "chinook.Employee", 0, "", "Employee (ReportsTo)");
        if (pgtest::testServer()) {
            row("postgres", "shelves.shelf", 1, "", "box (at_aisle, at_bay)");
            row("postgres key change", "shelves.shelf", 1, "7", "box (at_aisle, at_bay)");
        }
    }

    // The engine's message, then the referring table and its key; nothing
    // is written.
    void refusalNamesTheReferringTable() {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(int, row);
        QFETCH(QString, newKey);
        Env env("PRAGMA user_version = 1;");
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        keydb::connectTo(env, database, pg);
        const auto w = baseWindow(env.connection(), tk::ss(table));
        const int rows = w->query().recordCount();
        gridtest::Driver grid(w->master().Grid);
        if (newKey.isEmpty()) {
            grid.click(row, 0);
            gridtest::press(w->master().DBNavigator, tk::DBNavigator::Delete);
        } else {
            grid.typeOver(row, 0, newKey);
            grid.key(Qt::Key_Return);
            gridtest::press(w->master().DBNavigator, tk::DBNavigator::Post);
        }
        QCOMPARE(env.count("error"), 1);
        const QStringList lines = env.dialogs.shown.last().text.split(QLatin1Char('\n'));
        QVERIFY2(lines.size() > 1, qPrintable(lines.join('|')));
        QTEST(lines.last(), "referredBy");
        QCOMPARE(w->query().recordCount(), rows);
    }
};

QTEST_MAIN(TestDeclaredKeys)
#include "tst_declaredkeys.moc"
