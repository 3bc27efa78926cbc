// Real Access files through the whole program: picked in the Open dialog,
// browsed from the tree in table views, the master-detail window and the
// freehand window, read-only throughout, their bytes never changed.

#include "tests/support/WindowTestEnv.h"

#include "tests/support/AccessTestData.h"
#include "tests/support/CancelWhenShown.h"
#include "tests/support/MainWindowDriver.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Progress.h"

#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTreeWidget>

using namespace wintest;

namespace {

const QString readOnly = QStringLiteral("Access files are opened read-only.");

// The program with no database yet; files come through the Open dialog.
struct Program : ProgramFixture {
    void pick(const QString& path) {
        dialogs.fileAnswers = {path};
        form.actFileOpenExecute();
    }

    QTreeWidgetItem* node(const QString& parent, const QString& text) {
        return mainwin::node(form, parent, text);
    }

    QStringList tables() const {
        QStringList names;
        const QTreeWidgetItem* root = form.DBTree->topLevelItem(1);
        for (int i = 0; root && i < root->childCount(); ++i) {
            names << root->child(i)->text(0);
        }
        return names;
    }

    // Clicks the tree entry and returns the window it opened.
    DataWindow* open(const QString& parent, const QString& text) {
        QTreeWidgetItem* item = node(parent, text);
        if (!item) {
            return nullptr;
        }
        form.DBTree->setCurrentItem(item);
        form.DBTreeClick();
        QMdiSubWindow* sub = form.MdiClient->subWindowList(QMdiArea::CreationOrder).last();
        return qobject_cast<DataWindow*>(sub->widget());
    }
};

QString shown(tk::DBGrid* grid, int row, const QString& column) {
    const QAbstractItemModel* m = grid->model();
    for (int c = 0; c < m->columnCount(); ++c) {
        if (m->headerData(c, Qt::Horizontal).toString() == column) {
            return m->data(m->index(row, c)).toString();
        }
    }
    return QStringLiteral("<no column %1>").arg(column);
}

void clickTitle(tk::DBGrid* grid, const QString& column) {
    QHeaderView* titles = grid->horizontalHeader();
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == column) {
            const int x = titles->sectionViewportPosition(c) + 5;
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        }
    }
}

void search(DataWindow& w, const QString& column, const QString& term) {
    w.master().cboTraziPo->setCurrentIndex(w.master().cboTraziPo->findText(column));
    w.master().edTrazi->setText(term);
    QTest::keyClick(w.master().edTrazi, Qt::Key_Return);
}

void typeAndRun(DataWindow& w, const QString& sql) {
    QTest::mouseClick(w.sqlBox()->viewport(), Qt::LeftButton);
    QTest::keyClick(w.sqlBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.sqlBox(), Qt::Key_Delete);
    QTest::keyClicks(w.sqlBox(), sql);
    QTest::mouseClick(w.runButton(), Qt::LeftButton);
}

// Every row of the query, each as its cells' texts.
QStringList rowsOf(const vdata::Query& q) {
    QStringList rows;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < q.fieldCount(); ++c) {
            cells << QString::fromStdString(q.cellText(r, c));
        }
        rows << cells.join(QChar('|'));
    }
    return rows;
}

// The rows of `table` of `path` read at once, through a connection of
// their own.
QStringList wholeRead(const QString& path, const QString& table) {
    vdata::Connection c;
    c.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.toStdString());
    c.open();
    vdata::Query q(&c);
    q.setSQL("SELECT * FROM [" + table.toStdString() + "]");
    q.open();
    return rowsOf(q);
}

// Lets the program work until the window's read ends.
void readToTheEnd(DataWindow& w) {
    while (w.query().reading()) {
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestAccessFiles : public QObject {
    Q_OBJECT
    AccessTestData files;
    QTemporaryDir dir;

private slots:
    void init() {
        failOnConnectionWarnings();
        SKIP_WITHOUT_ACCESS_FILES();
    }
    void cleanup() { QCOMPARE(files.changed(), QStringList()); }

    void northwindThroughEveryWindow() {
        Program p;
        p.form.resize(1200, 900);
        p.form.show();
        p.pick(AccessTestData::file("nwind.mdb"));
        QCOMPARE(p.dialogs.texts(), QStringList{MainWindow::OpenDialogFilter()});
        const QStringList tables{"Order Details", "Orders",     "Products",
                                 "Shippers",      "Categories", "Customers",
                                 "Employees",     "Suppliers",  "Umsätze"};
        QCOMPARE(p.tables(), tables);
        // A table is copied from the file when it is first read; that copy,
        // cancelled from its progress dialog, leaves no window and no half
        // copy behind: the next click reads the whole table.
        tk::ProgressGuard::setShowAfterMs(0);
        {
            const CancelWhenShown cancel(false);
            p.form.DBTree->setCurrentItem(p.node("Tables", "Orders"));
            p.form.DBTreeClick();
            QVERIFY(cancel.pressed());
            QCOMPARE(p.form.MdiClient->subWindowList().size(), 0);
            QCOMPARE(p.dialogs.shown.size(), 1); // the Open dialog's
        }
        tk::ProgressGuard::setShowAfterMs(500);
        const QList<int> rows{2155, 830, 77, 3, 8, 91, 9, 29, 830};
        for (int i = 0; i < tables.size(); ++i) {
            DataWindow* w = p.open("Tables", tables[i]);
            QVERIFY(w);
            readToTheEnd(*w);
            QCOMPARE(w->master().lblRecNo->text(), QStringLiteral("Record 1 / %1").arg(rows[i]));
        }

        // Orders: dates and currency as stored, sorted by a title click.
        DataWindow* orders = p.open("Tables", "Orders");
        QCOMPARE(shown(orders->master().Grid, 0, "OrderDate"),
                 QStringLiteral("1994-11-16 00:00:00"));
        QCOMPARE(shown(orders->master().Grid, 0, "Freight"), QStringLiteral("12.75"));
        clickTitle(orders->master().Grid, "Freight");
        clickTitle(orders->master().Grid, "Freight");
        QCOMPARE(shown(orders->master().Grid, 0, "Freight"), QStringLiteral("1007.64"));
        QCOMPARE(shown(orders->master().Grid, 0, "CustomerID"), QStringLiteral("QUICK"));
        // A search moves to the match.
        search(*orders, "ShipName", "Queen");
        QCOMPARE(orders->master().lblRecNo->text(), QStringLiteral("Record 2 / 830"));
        // Edit is not offered; the counter's tooltip says why.
        QVERIFY(!orders->master().DBNavigator->button(tk::DBNavigator::Edit)->isEnabled());
        QCOMPARE(orders->master().lblRecNo->toolTip(), readOnly);

        // Customers -> Orders by CustomerID: ALFKI has six orders.
        DataWindow* md = p.open("Misc", "Master detail");
        linkCustomersToOrders(*md, false);
        QCOMPARE(md->query().cellText(0, 0), std::string("ALFKI"));
        QCOMPARE(md->detail()->lblRecNo->text(), QStringLiteral("Record 1 / 6"));

        // The freehand window answers queries and refuses changes.
        DataWindow* freehand = p.open("Misc", "Query");
        typeAndRun(*freehand, "SELECT TOP 5 * FROM [Order Details] ORDER BY Quantity DESC");
        QCOMPARE(freehand->query().recordCount(), 5);
        QCOMPARE(shown(freehand->master().Grid, 0, "Quantity"), QStringLiteral("130"));
        p.dialogs.clear();
        // Safe mode asks first, as it does before any change of every row.
        typeAndRun(*freehand, "DELETE FROM [Order Details]");
        QCOMPARE(p.dialogs.texts(),
                 QStringList({"This changes all 2,155 rows of Order Details. Run it?", readOnly}));
        QCOMPARE(orders->query().recordCount(), 830);
    }

    // Money adds up as Access adds it, exactly, in the freehand window: the
    // 830 freights sum to 64942.69 and 32.38 - 32 is 0.38, not their binary
    // neighbours. An item so computed keeps its text as its title, and
    // floating-point values keep their shortest text.
    void moneyAddsUpExactly() {
        Program p;
        p.form.show();
        p.pick(AccessTestData::file("nwind.mdb"));
        DataWindow* freehand = p.open("Misc", "Query");
        QVERIFY(freehand);
        const QString order = QStringLiteral(" FROM Orders WHERE OrderID = 10248");
        const QStringList steps[] = {
            {"SELECT SUM(Freight) AS S FROM Orders", "64942.69"},
            {"SELECT TOTAL(Freight) AS S FROM Orders", "64942.69"},
            {"SELECT SUM(Freight) = 64942.69 AS S FROM Orders", "1"},
            {"SELECT AVG(Freight) AS S FROM Orders WHERE OrderID <= 10255", "53.9925"},
            {"SELECT SUM(OrderID) AS S FROM Orders WHERE OrderID < 10250", "20497"},
            {"SELECT Freight - 32 AS S" + order, "0.38"},
            {"SELECT Freight * 3 AS S" + order, "97.14"},
            {"SELECT (Freight + 0.01) * 3 - Freight AS S" + order, "64.79"},
            {"SELECT COUNT(*) AS S FROM Orders WHERE Freight - 32 = 0.38", "1"},
            {"SELECT SUM(-Freight * 1) AS S FROM Orders", "-64942.69"},
            {"SELECT Discount * 1 = Discount AND Discount + 0 = Discount AS S FROM [Order Details] "
             "WHERE Discount > 0 LIMIT 1",
             "1"},
        };
        for (const QStringList& step : steps) {
            typeAndRun(*freehand, step[0]);
            QCOMPARE((QStringList{step[0], shown(freehand->master().Grid, 0, "S")}), step);
        }
        typeAndRun(*freehand, "SELECT Freight + 0.01, Freight" + order);
        QCOMPARE(shown(freehand->master().Grid, 0, "Freight + 0.01"), QStringLiteral("32.39"));
        QCOMPARE(p.count("error"), 0);
    }

    // A table larger than a screenful shows its first rows at once and reads
    // the rest in steps, every row once and in the order a whole read gives
    // them. The freehand window sees the whole table, asked during the read
    // or after it. A file that fails mid-table ends the read with its message
    // and keeps the rows read.
    void tableReadsInSteps_data() {
        QTest::addColumn<int>("zeroed"); // the first of ten pages zeroed; 0: none
        QTest::addColumn<bool>("askDuringRead");
        QTest::addColumn<QString>("error");
        QTest::newRow("query after the read") << 0 << false << QString();
        QTest::newRow("query during the read") << 0 << true << QString();
        QTest::newRow("file damaged mid-table")
            << 466 << false << QStringLiteral("holds 2155 rows, of which only");
    }
    void tableReadsInSteps() {
        QFETCH(int, zeroed);
        QFETCH(bool, askDuringRead);
        QFETCH(QString, error);
        const QString table = QStringLiteral("Order Details");
        const QString whole = AccessTestData::file("nwind.mdb");
        QString path = whole;
        if (zeroed > 0) { // pages that hold rows of the table after its 1,400th
            QByteArray bytes = accessdata::readAll(whole);
            bytes.replace(zeroed * 2048, 10 * 2048, QByteArray(10 * 2048, '\0'));
            path = dir.filePath(QStringLiteral("damaged.mdb"));
            accessdata::writeAll(path, bytes);
        }
        const QStringList expected = wholeRead(whole, table);
        QCOMPARE(expected.size(), 2155);
        Program p;
        p.pick(path);
        DataWindow* w = p.open("Tables", table);
        QVERIFY(w->query().reading());
        QCOMPARE(w->query().recordCount(), int(vdata::Query::firstRows));
        DataWindow* freehand = p.open("Misc", "Query");
        if (askDuringRead) {
            QVERIFY(w->query().reading());
            typeAndRun(*freehand, "SELECT * FROM [" + table + "]");
            QCOMPARE(rowsOf(freehand->query()), expected);
        }
        readToTheEnd(*w);
        if (error.isEmpty()) {
            QCOMPARE(rowsOf(w->query()), expected);
            typeAndRun(*freehand, "SELECT * FROM [" + table + "]");
            QCOMPARE(rowsOf(freehand->query()), expected);
            QCOMPARE(p.count("error"), 0);
        } else {
            QCOMPARE(p.count("error"), 1);
            QVERIFY2(p.dialogs.shown.last().text.contains(error),
                     qPrintable(p.dialogs.shown.last().text));
            const QStringList kept = rowsOf(w->query());
            QVERIFY(kept.size() > int(vdata::Query::firstRows));
            QCOMPARE(kept, expected.mid(0, kept.size()));
        }
    }

    // The other formats: the dates at the edges of what Access holds, and an
    // Access 2007 file.
    void otherFilesShowTheirRows_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("dates") << "DateTestDatabase.mdb"
                               << "DateTest"
                               << "DateTimeCol"
                               << QStringList{"2021-12-02 00:00:00", "9999-01-01 00:00:00",
                                              "1898-01-01 00:00:00", "0632-01-01 00:00:00"};
        QTest::newRow("Access 2007")
            << "ASampleDatabase.accdb"
            << "Asset Items"
            << "Asset No" << QStringList{"30050", "30051", "30052", "30053"};
    }
    void otherFilesShowTheirRows() {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QStringList, values);
        Program p;
        p.pick(AccessTestData::file(file));
        QCOMPARE(p.tables(), QStringList{table});
        DataWindow* w = p.open("Tables", table);
        QStringList seen;
        for (int r = 0; r < values.size(); ++r) {
            seen << shown(w->master().Grid, r, column);
        }
        QCOMPARE(seen, values);
    }

    // A file with a database password prompts for it and opens with the
    // right one only.
    void passwordIsAskedFor() {
        const QString copy = dir.filePath("protected.mdb");
        accessdata::writePasswordCopy(AccessTestData::file("nwind.mdb"), copy, "Sesam");
        Program p;
        p.dialogs.promptAnswers = {QStringLiteral("sesam"), QStringLiteral("Sesam")};
        p.pick(copy);
        QCOMPARE(p.dialogs.count("prompt"), 2);
        QCOMPARE(p.dialogs.count("error"), 2);
        QCOMPARE(p.dialogs.shown[1].text, QStringLiteral("Not a valid password."));
        QVERIFY(p.dm.connection.connected());
        QCOMPARE(p.tables().size(), 9);
    }
};

QTEST_MAIN(TestAccessFiles)
#include "tst_accessfiles.moc"
