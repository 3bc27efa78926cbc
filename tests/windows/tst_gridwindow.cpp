// The data grid window on a real SQLite file: counter and navigator state,
// title-click sorting, the grid's keys and pointer, re-query, editing through
// the grid, and activation and closing against the main window.

#include "data/service/Command.h"
#include "tests/support/WindowTestEnv.h"

#include "tests/support/GridDriver.h"
#include "toolkit/Application.h"

#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/DatasetModel.h"
#include "toolkit/LongTextEditor.h"
#include "toolkit/ValueViewer.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWindow>

using namespace wintest;

class TestGridWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void emptyTableCountsMinusOneAndDisablesEdit() {
        Env env;
        auto w = baseWindow(env.connection(), "Empty");
        QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record -1 / 0"));
        QVERIFY(!w->master().DBNavigator->button(tk::DBNavigator::Edit)->isEnabled());
        QVERIFY(w->master().DBNavigator->button(tk::DBNavigator::Insert)->isEnabled());
        QVERIFY(!w->master().DBNavigator->button(tk::DBNavigator::Post)->isEnabled());
        QCOMPARE(env.dialogs.shown.size(), 0);
        // A window without the child set closes its query and goes away.
        QCOMPARE(w->childQuery(), nullptr);
        QPointer<DataWindow> closed = w.release();
        closed->close();
        QVERIFY(!closed->query().active());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());
    }

    void newWindowReadsNoDatasetAndCaptionsTheNavigator() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        QCOMPARE(w.master().lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("No dataset opened!"));
        const QStringList captions{"First",  "Proir", "Next", "Last",   "&Add",
                                   "Delete", "Edit",  "Save", "Cancel", "Refresh"};
        for (tk::DBNavigator* nav : {w.master().DBNavigator, w.detail()->DBNavigator}) {
            for (int i = 0; i < tk::DBNavigator::buttonCount; ++i) {
                QCOMPARE(nav->caption(i), captions.at(i));
                // Hints are not shown; the tooltip of a shown button names its key.
                QCOMPARE(nav->button(i)->toolTip().isEmpty(), i < tk::DBNavigator::Insert);
            }
            QCOMPARE(nav->visibleButtons(), 0x3F0);
        }
        // The search bar's texts show whole: the label's colon, the placeholders.
        for (DataSetPanel* panel : {&w.master(), w.detail()}) {
            QVERIFY(panel->Label1->sizeHint().width() <= panel->Label1->width());
            const QFontMetrics metrics = panel->edTrazi->fontMetrics();
            for (const QString& text :
                 {DataSetPanel::searchPlaceholder, DataSetPanel::searchAgainPlaceholder})
                QVERIFY(metrics.horizontalAdvance(text) < panel->edTrazi->contentsRect().width());
            QVERIFY(panel->edTrazi->geometry().right() < panel->pnlSearch->width());
        }
        QCOMPARE(w.childQuery(), &w.detail()->query());
        QCOMPARE(w.findChild<tk::DBGrid*>(QStringLiteral("GridChild")), w.detail()->Grid);
        QCOMPARE(w.findChild<tk::DBGrid*>(QStringLiteral("Grid")), w.master().Grid);
    }

    // Clicks on a title as quick as a person makes them, each within the
    // double-click time of the one before, reach the window through the
    // platform's events: every click turns the order round.
    void quickTitleClicksEachCount() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        w->resize(600, 300);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QHeaderView* titles = w->master().Grid->horizontalHeader();
        QWindow* window = w->windowHandle();
        const QPoint at =
            titles->viewport()->mapTo(w.get(), QPoint(titles->sectionViewportPosition(1) + 5, 5));
        QStringList sorts;
        int time = QTest::lastMouseTimestamp + 1000;
        for (int click = 0; click < 4; ++click) {
            for (const bool down : {true, false}) {
                qt_handleMouseEvent(window, at, window->mapToGlobal(at),
                                    down ? Qt::LeftButton : Qt::NoButton, Qt::LeftButton,
                                    down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
                                    Qt::NoModifier, time += 60);
            }
            sorts << tk::qs(w->query().sort());
        }
        QTest::lastMouseTimestamp = time + 1000;
        QCOMPARE(sorts, (QStringList{"CompanyName", "CompanyName DESC", "CompanyName",
                                     "CompanyName DESC"}));
    }

    void titleClicksSortAscendingDescendingAscending() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        tk::DBGrid* grid = w->master().Grid;
        grid->resize(600, 300);
        // A real click on the title of CompanyName reaches the window's handler.
        QHeaderView* titles = grid->horizontalHeader();
        const int x = titles->sectionViewportPosition(1) + 5;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QCOMPARE(tk::qs(w->query().sort()), QStringLiteral("CompanyName"));
        // The sorted column's title shows the order.
        const auto indicator = [titles] {
            return std::pair{titles->isSortIndicatorShown() ? titles->sortIndicatorSection() : -1,
                             titles->sortIndicatorOrder()};
        };
        QCOMPARE(indicator(), std::pair(1, Qt::AscendingOrder));
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QCOMPARE(indicator(), std::pair(1, Qt::DescendingOrder));
        emit grid->titleClick(grid, QStringLiteral("Rating"));
        QCOMPARE(column(w->query(), 3), (QStringList{"1", "3", "4", "5"}));
        emit grid->titleClick(grid, QStringLiteral("Rating"));
        QCOMPARE(tk::qs(w->query().sort()), QStringLiteral("Rating DESC"));
        QCOMPARE(column(w->query(), 3), (QStringList{"5", "4", "3", "1"}));
        emit grid->titleClick(grid, QStringLiteral("Rating"));
        QCOMPARE(column(w->query(), 3), (QStringList{"1", "3", "4", "5"}));
        emit grid->titleClick(grid, QStringLiteral("Country"));
        QCOMPARE(tk::qs(w->query().sort()), QStringLiteral("Country"));
        QCOMPARE(column(w->query(), 2), (QStringList{"Germany", "Germany", "Mexico", "Sweden"}));
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        // The grid shows the sorted order.
        QCOMPARE(grid->model()->data(grid->model()->index(3, 2)).toString(),
                 QStringLiteral("Sweden"));
        // A refused sort: no message, the order kept, the cursor back.
        const QStringList before = column(w->query(), 0);
        w->master().sort(QStringLiteral("NoSuchColumn"));
        QCOMPARE(column(w->query(), 0), before);
        QCOMPARE(tk::qs(w->query().sort()), QStringLiteral("Country"));
        QCOMPARE(indicator(), std::pair(2, Qt::AscendingOrder));
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        // Every sort text the query takes reads the same in the titles and on
        // refresh: the direction word in any letter case, ASC included.
        w->query().setSort("rating desc");
        QCOMPARE(indicator(), std::pair(3, Qt::DescendingOrder));
        w->query().setSort("Rating ASC");
        QTest::mouseClick(w->master().DBNavigator->button(tk::DBNavigator::Refresh),
                          Qt::LeftButton);
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(column(w->query(), 3), (QStringList{"1", "3", "4", "5"}));
        QCOMPARE(indicator(), std::pair(3, Qt::AscendingOrder));
    }

    // A new result's columns are as wide as their values, also the last
    // rows' (growing numbers are widest at the end), with only a screenful
    // and the last rows measured.
    void columnsFitTheFirstAndTheLastRows() {
        Env env("CREATE TABLE t (n INT);"
                "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 20000)"
                " INSERT INTO t SELECT x FROM c;");
        auto w = baseWindow(env.connection(), "t");
        tk::DBGrid* grid = w->master().Grid;
        const auto widthOf = [grid](int row) {
            return grid->sizeHintForIndex(grid->model()->index(row, 0)).width();
        };
        // The rows are read in steps: the last ones count once shown.
        QVERIFY(w->master().readAllRows());
        w->resize(400, 300);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(widthOf(19999) > widthOf(999)); // "20000" against "1000"
        QVERIFY2(grid->columnWidth(0) >= widthOf(19999),
                 qPrintable(QString("%1 < %2").arg(grid->columnWidth(0)).arg(widthOf(19999))));
    }

    // A screen reader reads a cell of a big sorted grid at once: the grid's
    // accessible table answers a cell without visiting every row.
    void screenReaderReadsACellOfABigGridAtOnce() {
        Env env("CREATE TABLE t (n INT, s TEXT);"
                "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200000)"
                " INSERT INTO t SELECT x, printf('s%06d', 200000 - x) FROM c;");
        auto w = baseWindow(env.connection(), "t");
        tk::DBGrid* grid = w->master().Grid;
        grid->resize(600, 300);
        QHeaderView* titles = grid->horizontalHeader();
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                          QPoint(titles->sectionViewportPosition(1) + 5, 5));
        QElapsedTimer took;
        took.start();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
        QVERIFY(table && table->tableInterface());
        QAccessibleInterface* cell = table->tableInterface()->cellAt(0, 1);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("s000000"));
        QVERIFY2(took.elapsed() < 100, qPrintable(QString::number(took.elapsed())));
    }

    void ctrlDeleteIsDroppedPlainDeletePasses() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        tk::DBGrid* grid = w->master().Grid;
        QList<int> seen;
        // Connected after the window's handler: sees the key as it leaves it.
        connect(grid, &tk::DBGrid::keyDown, this,
                [&seen](QObject*, int& key, Qt::KeyboardModifiers) {
                    if (key == 0 || key == Qt::Key_Delete) {
                        seen << key;
                    }
                });
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(seen, (QList<int>{0, 0, Qt::Key_Delete}));
        QCOMPARE(w->query().recordCount(), 4);
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Customers"), std::string("4"));
    }

    void handCursorOverTitlesOnly() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        tk::DBGrid* grid = w->master().Grid;
        grid->resize(600, 300);
        const QRect titles = grid->horizontalHeader()->geometry();
        const QRect indicator = grid->verticalHeader()->geometry();
        // The corner above the indicator column counts as the title row.
        QCOMPARE(grid->cellAt(indicator.center().x(), titles.center().y()), QPoint(0, 0));
        emit grid->mouseMove(grid, {}, indicator.center().x(), titles.center().y());
        QCOMPARE(tk::widgetCursor(grid), tk::CursorShape::HandPoint);
        const int rowY = grid->viewport()->y() + grid->rowViewportPosition(1) + 2;
        const int colX = grid->viewport()->x() + grid->columnViewportPosition(2) + 2;
        QCOMPARE(grid->cellAt(colX, rowY), QPoint(3, 2));
        emit grid->mouseMove(grid, {}, colX, rowY);
        QCOMPARE(tk::widgetCursor(grid), tk::CursorShape::Default);
        // A real pointer move over the title bar goes through the same handler.
        QMouseEvent move(QEvent::MouseMove, QPointF(colX - grid->viewport()->x(), 4),
                         grid->horizontalHeader()->mapToGlobal(QPointF(colX, 4)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->horizontalHeader()->viewport(), &move);
        QCOMPARE(tk::widgetCursor(grid), tk::CursorShape::HandPoint);
    }

    void initialisingTwiceKeepsOneEntryPerField() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        w->initialise();
        // Texts, the INT and the DATE; the decimal is left out.
        QCOMPARE(entries(w->master().cboTraziPo),
                 (QStringList{"CustomerID", "CompanyName", "Country", "Rating", "Joined"}));
        QCOMPARE(w->master().cboTraziPo->currentIndex(), 0);
        // An INTEGER PRIMARY KEY is searchable like every integer.
        auto codes = baseWindow(env.connection(), "Codes");
        QCOMPARE(entries(codes->master().cboTraziPo), QStringList{"ID"});
        QCOMPARE(codes->master().cboTraziPo->currentIndex(), 0);
        // Blobs and nulls show placeholders; a null edits as empty text.
        QAbstractItemModel* m = codes->master().Grid->model();
        QCOMPARE(m->data(m->index(0, 2)).toString(), tk::DatasetModel::blobText);
        QAbstractItemModel* cm = w->master().Grid->model();
        QCOMPARE(cm->data(cm->index(2, 5)).toString(), tk::DatasetModel::nullText);
        QCOMPARE(cm->data(cm->index(2, 5), Qt::EditRole).toString(), QString());
        QVERIFY(cm->data(cm->index(2, 5), Qt::ForegroundRole).isValid());
        QVERIFY(!cm->data(cm->index(2, 1), Qt::ForegroundRole).isValid());
    }

    void navigatorRefreshSeesOtherConnectionsRows() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        w->query().moveTo(2);
        QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record 3 / 4"));
        {
            auto other = env.other();
            vdata::Command add(other.get());
            add.setCommandText(
                "INSERT INTO Customers (CustomerID, CompanyName) VALUES ('ZZZZZ', 'Z')");
            QCOMPARE(add.execute(), 1LL);
        }
        w->master().DBNavigator->button(tk::DBNavigator::Refresh)->click();
        QCOMPARE(w->query().recordCount(), 5);
        QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record 3 / 5")); // the same record
        QCOMPARE(env.dialogs.shown.size(), 0);
        // A refresh that fails goes to the default error report.
        {
            auto other = env.other();
            vdata::Command drop(other.get());
            drop.setCommandText("DROP TABLE Customers");
            drop.execute();
        }
        w->master().DBNavigator->click(tk::DBNavigator::Refresh);
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, appTitle);
        QVERIFY(env.dialogs.shown.first().text.contains(QStringLiteral("Customers")));
    }

    // The navigator's keys, pressed where the keyboard is: Ctrl+S saves what
    // is typed, Ctrl+Insert adds a record (Esc drops it), Alt+Delete asks
    // before it deletes, F5 reads again; the tooltips name them.
    void navigatorKeys() {
        Env env;
        auto w = baseWindow(env.connection(), "Orders");
        gridtest::Driver d(w->master().Grid);
        d.typeOver(0, 2, QStringLiteral("Spain"));
        gridtest::Driver::key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(env.readBack("SELECT ShipCountry FROM Orders WHERE OrderID = 1"),
                 std::string("Spain"));
        gridtest::Driver::key(Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(w->query().state(), vdata::DataSetState::Insert);
        gridtest::Driver::key(Qt::Key_Escape);
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
        env.dialogs.confirmAnswers = {true};
        gridtest::Driver::key(Qt::Key_Delete, Qt::AltModifier);
        QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders"), std::string("3"));
        auto other = env.other();
        vdata::Command insert(other.get());
        insert.setCommandText("INSERT INTO Orders VALUES (9, 'ANATR', 'Mexico', 900)");
        insert.execute();
        gridtest::Driver::key(Qt::Key_F5);
        QCOMPARE(w->query().recordCount(), 4);
        QVERIFY(w->master()
                    .DBNavigator->button(tk::DBNavigator::Post)
                    ->toolTip()
                    .contains(QStringLiteral("Ctrl+S")));
    }

    // F5 reads again and keeps the user's place: the same record current
    // (also when a row was added above it, and when it lies beyond the first
    // rows of a table read in steps) and the grid scrolled as it was. A
    // record deleted meanwhile leaves the same position current.
    void f5KeepsTheCurrentRowAndTheScroll() {
        Env env("CREATE TABLE Numbers (ID INTEGER PRIMARY KEY, Name TEXT);\n"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)\n"
                "INSERT INTO Numbers SELECT i * 10, 'n' || i FROM n;");
        DataWindow w(env.connection(), DataWindow::Use::Table);
        w.resize(600, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setUp(QStringLiteral("Numbers"));
        tk::DBGrid* grid = w.master().Grid;
        w.query().readAll();
        w.query().moveTo(2500);
        grid->scrollTo(grid->currentIndex(), QAbstractItemView::PositionAtCenter);
        const int top = grid->verticalScrollBar()->value();
        auto other = env.other();
        vdata::Command change(other.get());
        change.setCommandText("INSERT INTO Numbers VALUES (5, 'added')");
        change.execute();
        grid->setFocus();
        gridtest::Driver::key(Qt::Key_F5);
        QCOMPARE(w.query().cellText(w.query().currentRow(), 0), std::string("25010"));
        QCOMPARE(w.query().currentRow(), 2501);
        QCOMPARE(grid->verticalScrollBar()->value(), top);
        QCOMPARE(w.master().lblRecNo->text().section(' ', 1, 1), QStringLiteral("2502"));
        change.setCommandText("DELETE FROM Numbers WHERE ID = 25010");
        change.execute();
        gridtest::Driver::key(Qt::Key_F5);
        QCOMPARE(w.query().currentRow(), 2501);
        QCOMPARE(w.query().cellText(2501, 0), std::string("25020"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Numbers and dates further down a table read in steps are shown whole:
    // their columns grow as the wider values come into view.
    void columnsGrowForWiderNumbersReadLater() {
        Env env("CREATE TABLE Sums (ID INTEGER PRIMARY KEY, Amount INT, Price REAL, Due DATE);\n"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 6000)\n"
                "INSERT INTO Sums SELECT i, CASE WHEN i = 4321 THEN -1234567890123 ELSE i END,\n"
                "  CASE WHEN i = 5000 THEN 98765.4321 ELSE 1.5 END,\n"
                "  CASE WHEN i < 5999 THEN NULL ELSE '2024-12-31' END FROM n;");
        DataWindow w(env.connection(), DataWindow::Use::Table);
        w.resize(600, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setUp(QStringLiteral("Sums"));
        QTRY_VERIFY(!w.query().reading());
        tk::DBGrid* grid = w.master().Grid;
        for (const auto& [row, column] :
             {std::pair{5999, 0}, std::pair{4320, 1}, std::pair{4999, 2}, std::pair{5998, 3}}) {
            const QModelIndex cell = grid->model()->index(row, column);
            grid->scrollTo(cell);
            QVERIFY2(grid->columnWidth(column) >= grid->sizeHintForIndex(cell).width(),
                     qPrintable(cell.data().toString()));
        }
    }

    void navigatorDeleteAsksFirst() {
        Env env;
        auto w = baseWindow(env.connection(), "Orders");
        env.dialogs.confirmAnswers = {false, true};
        w->master().DBNavigator->button(tk::DBNavigator::Delete)->click();
        QCOMPARE(w->query().recordCount(), 4);
        const QString deleted = column(w->query(), 0).first();
        w->master().DBNavigator->button(tk::DBNavigator::Delete)->click();
        QCOMPARE(env.count("confirm"), 2);
        QCOMPARE(env.dialogs.shown.first().caption, QStringLiteral("Confirm"));
        QCOMPARE(env.dialogs.shown.first().text, QStringLiteral("Delete record?"));
        QCOMPARE(w->query().recordCount(), 3);
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders"), std::string("3"));
        // Sorting by a title click, both ways, and back to no order does not
        // bring the deleted row back.
        QHeaderView* titles = w->master().Grid->horizontalHeader();
        for (const QString& sort : {QStringLiteral("OrderID"), QStringLiteral("OrderID DESC")}) {
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                              QPoint(titles->sectionViewportPosition(0) + 5, 5));
            QCOMPARE(tk::qs(w->query().sort()), sort);
            QCOMPARE(w->master().Grid->model()->rowCount(), 3);
            QVERIFY(!column(w->query(), 0).contains(deleted));
        }
        w->query().setSort("");
        QCOMPARE(w->query().recordCount(), 3);
        QVERIFY(!column(w->query(), 0).contains(deleted));
    }

    // A read-only result offers no Add, Delete or Edit; the counter's
    // tooltip says why, and a click on the disabled Delete does nothing.
    void navigatorRefusesDeleteOnReadOnlyResults() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Table);
        w.query().setSQL("SELECT o.OrderID, c.CompanyName FROM Orders o "
                         "JOIN Customers c ON c.CustomerID = o.CustomerID");
        w.query().open();
        QVERIFY(!w.query().canModify());
        w.initialise();
        for (int b : {tk::DBNavigator::Insert, tk::DBNavigator::Delete, tk::DBNavigator::Edit})
            QVERIFY(!w.master().DBNavigator->button(b)->isEnabled());
        QCOMPARE(w.master().lblRecNo->toolTip(), tk::qs(w.query().readOnlyReason()));
        QTest::mouseClick(w.master().DBNavigator->button(tk::DBNavigator::Delete), Qt::LeftButton);
        QCOMPARE(env.count("confirm"), 0);
        QCOMPARE(env.dialogs.texts(), QStringList());
        QCOMPARE(w.query().recordCount(), 4);
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Orders"), std::string("4"));
    }

    // Where a value cannot be edited (a grouped result here) a double-click
    // or F2 shows it whole, read-only, with the reason; a typed key is
    // still refused with the reason, and nothing reaches the database.
    void readOnlyValuesOpenWholeInAViewer() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::Table);
        w.query().setSQL("SELECT Country, group_concat(CompanyName, char(10)) AS Names, "
                         "MAX(Joined) AS Latest FROM Customers GROUP BY Country");
        w.query().open();
        w.initialise();
        gridtest::Driver d(w.master().Grid);
        const auto viewer = [&] { return w.master().Grid->findChild<tk::ValueViewer*>(); };
        d.doubleClick(0, 1);
        QVERIFY(viewer() && viewer()->isVisible());
        // The keys go to the viewer's text, as they do once it is active.
        QWidget* text = viewer()->findChild<tk::LongTextEditor*>();
        QCOMPARE(viewer()->text(), QStringLiteral("Alfreds Futterkiste\nBlauer See"));
        QTest::keyClicks(text, QStringLiteral("xyz"));
        QCOMPARE(viewer()->text(), QStringLiteral("Alfreds Futterkiste\nBlauer See"));
        QVERIFY(
            viewer()->findChild<QLabel*>()->text().contains(tk::qs(w.query().readOnlyReason())));
        QTest::keyClick(text, Qt::Key_Escape);
        QTRY_VERIFY(!viewer());
        QApplication::setActiveWindow(&w); // as the window manager does
        d.click(2, 1);
        d.key(Qt::Key_F2);
        QCOMPARE(viewer()->text(), QStringLiteral("Berglunds snabbkop"));
        w.master().Grid->setFocus();
        d.key(Qt::Key_F2); // the same viewer shows the next value asked for
        QCOMPARE(w.master().Grid->findChildren<tk::ValueViewer*>().size(), 1);
        d.click(0, 0);
        d.type(QStringLiteral("Q"));
        QCOMPARE(env.dialogs.texts(), QStringList{tk::qs(w.query().readOnlyReason())});
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Customers WHERE Country = 'Germany'"),
                 std::string("2"));
    }

    // The highlighted cell, the current cell and the record marker show the
    // same row after Ctrl+moves and after a click that a refused save
    // undid; the cell being edited is framed.
    void currentCellAndMarkerAgree() {
        Env env;
        auto w = baseWindow(env.connection(), "Orders");
        gridtest::Driver d(w->master().Grid);
        tk::DBGrid* grid = w->master().Grid;
        const auto agree = [&](int row) {
            const QModelIndexList selected = grid->selectionModel()->selectedIndexes();
            return QStringList{
                QString::number(w->query().currentRow()),
                QString::number(grid->currentIndex().row()), QString::number(selected.size()),
                QString::number(selected.value(0).row()),
                grid->datasetModel()->indicator(row).isEmpty() ? "no marker" : "marker"};
        };
        const auto expected = [](int row) {
            return QStringList{QString::number(row), QString::number(row), "1",
                               QString::number(row), "marker"};
        };
        d.click(1, 2);
        d.key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(agree(3), expected(3));
        d.key(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(agree(0), expected(0));
        d.key(Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(agree(1), expected(1));
        // A key that another row holds: the save on leaving the row fails.
        d.typeOver(3, 0, QStringLiteral("1"));
        QVERIFY(gridtest::Driver::editor());
        QVERIFY(gridtest::Driver::editor()->styleSheet().contains(QStringLiteral("border")));
        d.key(Qt::Key_Return);
        d.click(1, 2);
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(agree(3), expected(3));
        QCOMPARE(w->query().state(), vdata::DataSetState::Edit);
    }

    // At any width the search box, the filter box and the navigator stand
    // apart, inside their bar, above the grid, with their labels whole; a
    // sorted narrow column widens for its arrow; tiled windows keep the
    // room their controls need and do not cover each other.
    void controlsNeverCoverEachOther() {
        Env env;
        QVERIFY(env.started());
        QList<DataWindow*> windows;
        for (const char* table : {"Customers", "Orders", "Staff"})
            windows << env.click(QStringLiteral("Tables"), QString::fromLatin1(table));
        DataWindow* w = windows.first();
        DataSetPanel& panel = w->master();
        const auto apart = [](const QList<QWidget*>& widgets) {
            for (int i = 0; i < widgets.size(); ++i)
                for (int j = i + 1; j < widgets.size(); ++j)
                    if (widgets[i]->geometry().intersects(widgets[j]->geometry()))
                        return widgets[i]->objectName() + " covers " + widgets[j]->objectName();
            return QString();
        };
        env.form.WindowCascade1Execute();
        for (const int width : {1200, 700, 420, 200}) {
            w->parentWidget()->resize(width, 500);
            QApplication::processEvents();
            const QString at = QString::number(width) + ": ";
            QCOMPARE(at + apart({panel.pnlSearch, panel.pnlFilter, panel.pnlNav}), at);
            QCOMPARE(at + apart({panel.pnlTop, panel.Grid, panel.lblRecNo}), at);
            for (QWidget* part : {panel.pnlSearch, panel.pnlFilter, panel.pnlNav})
                QVERIFY2(panel.pnlTop->contentsRect().contains(part->geometry()),
                         qPrintable(at + part->objectName()));
            for (QLabel* label : {panel.Label1, panel.lblFilter})
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(at));
        }
        panel.sort(QStringLiteral("Rating"));
        const int rating = w->query().findField("Rating")->index();
        QHeaderView* titles = panel.Grid->horizontalHeader();
        QVERIFY(titles->sectionSize(rating) >= titles->sectionSizeHint(rating));
        env.form.WindowTileVertical1Execute();
        QList<QWidget*> frames;
        for (DataWindow* tiled : windows) {
            QWidget* frame = tiled->parentWidget();
            QVERIFY(frame->width() >= frame->minimumSizeHint().width());
            frames << frame;
        }
        QCOMPARE(apart(frames), QString());
    }

    void gridEditIsPostedWhenLeavingTheRow() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        tk::DBGrid* grid = w->master().Grid;
        grid->resize(600, 300);
        grid->setCurrentIndex(grid->model()->index(0, 1));
        grid->edit(grid->currentIndex());
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("Alfreds Neu"));
        grid->setCurrentIndex(grid->model()->index(1, 1));
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
        QCOMPARE(w->query().currentRow(), 1);
        QCOMPARE(env.readBack("SELECT CompanyName FROM Customers WHERE CustomerID='ALFKI'"),
                 std::string("Alfreds Neu"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void refusedPostKeepsTheTypedValuesAndTheRow() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        tk::DBGrid* grid = w->master().Grid;
        grid->setCurrentIndex(grid->model()->index(0, 0));
        // A key that another row has already: the database refuses the post.
        QVERIFY(grid->model()->setData(grid->model()->index(0, 0), QStringLiteral("ANATR")));
        QCOMPARE(grid->datasetModel()->indicator(0), QStringLiteral("\u270E"));
        grid->setCurrentIndex(grid->model()->index(2, 0));
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, appTitle);
        QCOMPARE(w->query().state(), vdata::DataSetState::Edit);
        QCOMPARE(w->query().currentRow(), 0);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(w->query().currentValue(0).toText(), std::string("ANATR"));
        // Esc gives the edit up; the database kept the old key.
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
        QCOMPARE(w->query().cellText(0, 0), std::string("ALFKI"));
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Customers WHERE CustomerID='ALFKI'"),
                 std::string("1"));
    }

    // Closing a window saves a pending grid edit. A refused one is reported
    // and keeps the window, the typed value and the connection, until the
    // user cancels it.
    void closingSavesPendingEditsOrSaysWhyNot() {
        Env env;
        auto* w = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
        w->query().setSQL("SELECT * FROM Customers");
        w->query().open();
        QVERIFY(w->master().Grid->model()->setData(w->master().Grid->model()->index(1, 1),
                                                   QStringLiteral("Ana T.")));
        qobject_cast<QMdiSubWindow*>(w->parentWidget())->close();
        QCOMPARE(env.readBack("SELECT CompanyName FROM Customers WHERE CustomerID='ANATR'"),
                 std::string("Ana T."));
        QCOMPARE(env.dialogs.shown.size(), 0);
        auto* refused = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
        refused->query().setSQL("SELECT * FROM Customers");
        refused->query().open();
        QVERIFY(refused->master().Grid->model()->setData(
            refused->master().Grid->model()->index(0, 0), QStringLiteral("BERGS")));
        auto* frame = qobject_cast<QMdiSubWindow*>(refused->parentWidget());
        QVERIFY(!frame->close());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(refused->query().state(), vdata::DataSetState::Edit);
        QCOMPARE(refused->query().currentValue(0).toText(), std::string("BERGS"));

        env.form.mnuDisconnectClick(); // the refusal again, then why nothing closed
        QVERIFY(env.dm.connection.connected());
        QCOMPARE(env.dialogs.shown.last().caption, QStringLiteral("Error"));
        QVERIFY(env.dialogs.shown.last().text.startsWith(QStringLiteral("Not disconnected")));
        QVERIFY(!env.form.close()); // nor does the program end
        QVERIFY(!frame->isHidden());

        refused->query().cancel();
        env.form.mnuDisconnectClick();
        QVERIFY(!env.dm.connection.connected());
        QVERIFY(frame->isHidden());
        QCOMPARE(env.readBack("SELECT COUNT(*) FROM Customers WHERE CustomerID='BERGS'"),
                 std::string("1"));
    }

    // A save the database refuses, by leaving the row and by the navigator,
    // is reported by its handler: nothing reaches the application's
    // last-resort catch.
    void refusedSaveIsReportedByItsHandler() {
        Env env;
        auto w = baseWindow(env.connection(), "Customers");
        const auto* app = static_cast<tk::Application*>(qApp);
        const int caughtBefore = app->lastResortCatches();
        gridtest::Driver d(w->master().Grid);
        d.typeOver(0, 0, QStringLiteral("ANATR")); // the key of another row
        gridtest::Driver::key(Qt::Key_Down);
        gridtest::press(w->master().DBNavigator, tk::DBNavigator::Post);
        QCOMPARE(env.count("error"), 2);
        QCOMPARE(w->query().currentValue(0).toText(), std::string("ANATR"));
        QCOMPARE(app->lastResortCatches(), caughtBefore);
    }

    // Closing a window hides the Close button and resets the banner; the
    // window that the MDI area then activates shows the button again, and
    // after the last window it stays hidden.
    void closeButtonFollowsActivationAndClosing() {
        Env env;
        env.form.show();
        auto* a = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
        auto* b = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
        b->activate();
        QVERIFY(env.form.CloseButton->isVisibleTo(&env.form));
        auto* subA = qobject_cast<QMdiSubWindow*>(a->parentWidget());
        auto* subB = qobject_cast<QMdiSubWindow*>(b->parentWidget());
        QVERIFY(subA && subB);
        env.form.MdiClient->setActiveSubWindow(subB);
        env.form.CloseButton->hide();
        env.form.lblTOP->setText(QStringLiteral("something else"));
        QPointer<DataWindow> gone = b;
        subB->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(gone.isNull());
        QCOMPARE(env.form.lblTOP->text(), appTitle);
        QCOMPARE(env.form.MdiClient->activeSubWindow(), subA);
        QVERIFY(env.form.CloseButton->isVisibleTo(&env.form));
        subA->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env.form.CloseButton->isVisibleTo(&env.form));
        QVERIFY(env.form.MdiClient->subWindowList().isEmpty());
    }
};

int main(int argc, char** argv) {
    tk::Application app(argc, argv);
    TestGridWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_gridwindow.moc"
