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

    void keyColumnTitlesSayWhatTheyReference_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("references") << "chinook"
                                    << "Album"
                                    << "ArtistId" << true << "References Artist (ArtistId)";
        QTest::newRow("referred to") << "chinook"
                                     << "Artist"
                                     << "ArtistId" << false << "Referred to by Album (ArtistId)";
        QTest::newRow("both") << "chinook"
                              << "Employee"
                              << "EmployeeId" << false
                              << "Referred to by Customer (SupportRepId), Employee (ReportsTo)";
        QTest::newRow("no key") << "chinook"
                                << "Album"
                                << "Title" << false << "";
        if (AccessTestData::present()) {
            QTest::newRow("access") << "nwind"
                                    << "Orders"
                                    << "ShipVia" << true << "References Shippers (ShipperID)";
        }
        if (pgtest::testServer()) {
            QTest::newRow("two columns") << "shelves"
                                         << "box"
                                         << "at_bay" << true << "References shelf (aisle, bay)";
            QTest::newRow("two keys")
                << "shelves"
                << "shelf"
                << "bay" << false
                << "Referred to by box (home_aisle, home_bay), box (at_aisle, at_bay)";
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

    void refusalNamesTheReferringTable_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("newKey"); // empty: the row is deleted
        QTest::addColumn<QString>("referredBy");
        QTest::newRow("delete") << "chinook"
                                << "Artist" << 0 << ""
                                << "The row is still referred to by Album (ArtistId).";
        QTest::newRow("key change") << "chinook"
                                    << "Artist" << 0 << "9999"
                                    << "The row is still referred to by Album (ArtistId).";
        // Customers refer to other employees, not to this one.
        QTest::newRow("only tables that refer") << "chinook"
                                                << "Employee" << 0 << ""
                                                << "The row is still referred to by Employee "
                                                   "(ReportsTo).";
        if (pgtest::testServer()) {
            QTest::newRow("postgres") << "shelves"
                                      << "shelf" << 1 << ""
                                      << "The row is still referred to by box (at_aisle, at_bay).";
            QTest::newRow("postgres key change")
                << "shelves"
                << "shelf" << 0 << "7"
                << "The row is still referred to by box (home_aisle, home_bay).";
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
