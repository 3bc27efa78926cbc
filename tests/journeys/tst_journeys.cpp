// Whole journeys through the program, started as main() starts it: the
// connection manager, then the main window shown maximized, with the dialogs
// answered as a user would. Mouse clicks and keys drive it from opening a
// database to disconnecting; a second connection then reads the database
// back and compares it with what the user did.

#include "connection/ServerDialog.h"
#include "data/service/Command.h"
#include "data/service/Query.h"
#include "tests/support/GridDriver.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/TestDb.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/Application.h"
#include "toolkit/EditBox.h"
#include "toolkit/Registry.h"
#include "toolkit/ValueListEditor.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using gridtest::Driver;
using gridtest::press;
using mainwin::dataWindows;

namespace {

const QString demoPassword = QStringLiteral("veldmark");

// The program as main() runs it, and the user's answers to its dialogs.
using Program = ProgramFixture;

// Each table's rows, cells joined by '|', as a second connection reads them.
using Contents = QMap<QString, QStringList>;

QStringList rows(vdata::Connection& connection, const std::string& sql) {
    vdata::Query q(&connection);
    q.setSQL(sql);
    q.open();
    q.readAll();
    QStringList result;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < q.fieldCount(); ++c) {
            cells << QString::fromStdString(q.cellText(r, c));
        }
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

QStringList fileRows(const QString& file, const std::string& sql,
                     const std::string& password = {}) {
    return rows(*Program::connectTo(testdb::jetString(file, password)), sql);
}

Contents contents(const QString& file) {
    Contents result;
    for (const char* table : {"customers", "products", "orders", "Order Items"}) {
        result[QString::fromLatin1(table)] =
            fileRows(file, std::string("SELECT * FROM [") + table + "]");
    }
    return result;
}

// Sets one cell of the row holding `match` in a dump.
void setCell(QStringList& table, const QString& match, int column, const QString& value) {
    for (QString& row : table) {
        if (row.split(QLatin1Char('|')).contains(match)) {
            QStringList cells = row.split(QLatin1Char('|'));
            cells[column] = value;
            row = cells.join(QLatin1Char('|'));
            return;
        }
    }
    QFAIL(qPrintable("no row holds " + match));
}

QString cellText(const tk::DBGrid* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

int columnOf(const tk::DBGrid* grid, const QString& title) {
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == title) {
            return c;
        }
    }
    return -1;
}

void clickTitle(tk::DBGrid* grid, const QString& title) {
    const QHeaderView* titles = grid->horizontalHeader();
    const int section = columnOf(grid, title);
    QVERIFY(section >= 0);
    const QPoint at(titles->sectionViewportPosition(section) + titles->sectionSize(section) / 2,
                    titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, at);
}

void clickItem(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.first()).center());
}

QString counter(int rows) {
    return QStringLiteral("Record 1 / %1").arg(rows);
}

} // namespace

class TestJourneys : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A fresh copy of a demo database, for one journey to change.
    QString copyOfDemo(const QString& name,
                       const QString& demo = QStringLiteral("veldmark-demo.db")) const {
        const QString copy = dir.filePath(name);
        QFile::remove(copy);
        [[maybe_unused]] const bool copied = QFile::copy(dir.filePath("demo/" + demo), copy);
        return copy;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        mainwin::makeDemo(dir.filePath(QStringLiteral("demo")));
    }
    void init() { wintest::failOnConnectionWarnings(); }

    // Two tables of the demo database: sort, search, type over a cell and
    // save, add a row, delete a row; the file holds exactly those changes.
    void demoDatabaseEditedThroughTwoTables() {
        const QString file = copyOfDemo(QStringLiteral("edited.db"));
        Contents expected = contents(file);
        Program p;
        QVERIFY(p.started());
        p.open(file);
        QCOMPARE(p.form.pnlBaza->text(), "Connected to: " + file);

        DataWindow* customers = p.click(QStringLiteral("Tables"), "customers");
        QVERIFY(customers);
        tk::DBGrid* grid = customers->master().Grid;
        Driver d(grid);
        const int name = columnOf(grid, QStringLiteral("name"));
        const int city = columnOf(grid, QStringLiteral("city"));
        clickTitle(grid, QStringLiteral("name"));
        QCOMPARE(cellText(grid, 0, name), QStringLiteral("Ana Babić"));

        // The search starts on the first column it offers, the key; the
        // user picks the name.
        QComboBox* searchOn = customers->master().cboTraziPo;
        QCOMPARE(searchOn->currentText(), QStringLiteral("id"));
        searchOn->setCurrentIndex(searchOn->findText(QStringLiteral("name")));
        emit searchOn->activated(searchOn->currentIndex());
        QTest::mouseClick(customers->master().edTrazi, Qt::LeftButton);
        QTest::keyClicks(customers->master().edTrazi, QStringLiteral("Vesna"));
        QTest::keyClick(customers->master().edTrazi, Qt::Key_Return);
        const int found = customers->query().currentRow();
        QCOMPARE(cellText(grid, found, name), QStringLiteral("Vesna Babić"));

        tk::DBNavigator* navigator = customers->master().DBNavigator;
        d.typeOver(found, city, QStringLiteral("Pula"));
        press(navigator, tk::DBNavigator::Post);
        press(navigator, tk::DBNavigator::Insert);
        d.typeOver(customers->query().currentRow(), name, QStringLiteral("Iva Horvat"));
        d.key(Qt::Key_Tab);
        d.type(QStringLiteral("Rab"));
        press(navigator, tk::DBNavigator::Post);

        DataWindow* items = p.click(QStringLiteral("Tables"), "Order Items");
        QVERIFY(items);
        Driver(items->master().Grid).click(0, 0);
        p.dialogs.confirmAnswers.push_back(true);
        press(items->master().DBNavigator, tk::DBNavigator::Delete);

        // Both windows closed with the banner's close button.
        for (int i = 0; i < 2; ++i) {
            QVERIFY(p.form.CloseButton->isVisible());
            p.closeActive();
        }
        QVERIFY(dataWindows(p.form).isEmpty());
        p.disconnect();
        QVERIFY(!p.dm.connection.connected());
        QCOMPARE(p.dialogs.kinds(), QStringList({"open", "confirm"}));
        QCOMPARE(p.dialogs.shown.last().text, QStringLiteral("Delete record?"));

        setCell(expected["customers"], QStringLiteral("Vesna Babić"), city, QStringLiteral("Pula"));
        expected["customers"] << QStringLiteral("241|Iva Horvat|Rab||");
        expected["Order Items"].removeFirst();
        QCOMPARE(contents(file), expected);
    }

    // The protected copy: the error, the prompt, a wrong password, the error
    // and the prompt again, the right password; then its tables open.
    void protectedCopyOpensWithTheRightPassword() {
        const QString file = copyOfDemo(QStringLiteral("protected.db"),
                                        QStringLiteral("veldmark-demo-protected.db"));
        Program p;
        QVERIFY(p.started());
        p.dialogs.promptAnswers = {QStringLiteral("wrong"), demoPassword};
        p.open(file);
        QCOMPARE(p.dialogs.kinds(), QStringList({"open", "error", "prompt", "error", "prompt"}));
        QVERIFY(p.dm.connection.connected());
        QCOMPARE(p.form.pnlBaza->text(), "Connected to: " + file);
        DataWindow* customers = p.click(QStringLiteral("Tables"), "customers");
        QVERIFY(customers);
        const QStringList read = fileRows(file, "SELECT * FROM customers", tk::ss(demoPassword));
        QCOMPARE(customers->master().lblRecNo->text(), counter(read.size()));
        p.disconnect();
        QCOMPARE(p.dialogs.shown.size(), 5);
    }

    // The freehand window: a select fills the grid, an update of three rows
    // reports its count, a failing statement its error.
    void freehandSelectUpdateAndFailure() {
        const QString file = copyOfDemo(QStringLiteral("freehand.db"));
        Contents expected = contents(file);
        Program p;
        QVERIFY(p.started());
        p.open(file);
        DataWindow* w = p.click(QStringLiteral("Misc"), QStringLiteral("Query"));
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("\"Freehand\" query"));
        const std::string austria = "SELECT name FROM customers\nWHERE country = 'Austria'";
        gridtest::typeAndRun(*w, QString::fromStdString(austria));
        const QStringList names = fileRows(file, austria);
        QCOMPARE(w->master().lblRecNo->text(), counter(names.size()));
        QCOMPARE(cellText(w->master().Grid, 0, 0), names.first());

        gridtest::typeAndRun(*w, QStringLiteral("UPDATE products SET in_stock = 0\nWHERE id <= 3"));
        gridtest::typeAndRun(*w, QStringLiteral("DELETE FROM nowhere"));
        QCOMPARE(p.dialogs.kinds(), QStringList({"open", "information", "error"}));
        QCOMPARE(p.dialogs.texts().mid(1),
                 QStringList({"3 record affected", "no such table: nowhere"}));
        p.disconnect();

        for (const QString id : {"1", "2", "3"}) {
            QStringList& products = expected["products"];
            const auto row = std::find_if(products.begin(), products.end(),
                                          [&](const QString& r) { return r.startsWith(id + '|'); });
            QVERIFY(row != products.end());
            *row = row->section(QLatin1Char('|'), 0, 3) + QStringLiteral("|0");
        }
        QCOMPARE(contents(file), expected);
    }

    // Master-detail on orders and their items: the pair, Refresh, the child
    // following the master, and a new item taking the master's key.
    void masterDetailAddsAChildOfTheShownMaster() {
        const QString file = copyOfDemo(QStringLiteral("masterdetail.db"));
        Program p;
        QVERIFY(p.started());
        p.open(file);
        DataWindow* w = p.click(QStringLiteral("Misc"), QStringLiteral("Master detail"));
        QVERIFY(w);
        DataWindow& md = *w;
        QCOMPARE(QApplication::focusWidget(), md.setup()->cboMasterTable);
        QTest::keyClicks(md.setup()->cboMasterTable, QStringLiteral("orders"));
        QCOMPARE(md.setup()->cboMasterTable->currentText(), QStringLiteral("orders"));
        md.setup()->cboChildTable->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(md.setup()->cboChildTable, QStringLiteral("orders"));
        QTest::keyClick(md.setup()->cboChildTable, Qt::Key_Down);
        QCOMPARE(md.setup()->cboChildTable->currentText(), QStringLiteral("Order Items"));
        clickItem(md.setup()->lbMasterFields, QStringLiteral("id"));
        clickItem(md.setup()->lbChildFields, QStringLiteral("order_id"));
        QTest::mouseClick(md.setup()->AddRelButton, Qt::LeftButton);
        QTest::mouseClick(md.setup()->MCRefreshButton, Qt::LeftButton);
        QCOMPARE(md.setup()->Rel->pairCount(), 1);
        QCOMPARE(md.setup()->Rel->key(0) + '=' + md.setup()->Rel->value(0),
                 QStringLiteral("id=order_id"));

        const auto itemsOf = [&](int order) {
            QStringList read = fileRows(file, "SELECT product_id FROM \"Order Items\" "
                                              "WHERE order_id = " +
                                                  std::to_string(order));
            read.sort();
            return read;
        };
        const auto shownItems = [&] {
            QStringList shown = wintest::column(w->detail()->query(), 1);
            shown.sort();
            return shown;
        };
        QCOMPARE(shownItems(), itemsOf(1));
        Driver(w->master().Grid).click(1, 0);
        QCOMPARE(cellText(w->master().Grid, 1, 0), QStringLiteral("2"));
        QCOMPARE(shownItems(), itemsOf(2));
        QCOMPARE(md.detail()->lblRecNo->text(), counter(itemsOf(2).size()));

        const QString product =
            fileRows(file, "SELECT min(id) FROM products WHERE id NOT IN "
                           "(SELECT product_id FROM \"Order Items\" WHERE order_id = 2)")
                .first();
        Driver child(md.detail()->Grid);
        press(md.detail()->DBNavigator, tk::DBNavigator::Insert);
        child.typeOver(w->detail()->query().currentRow(), 1, product);
        child.key(Qt::Key_Tab);
        child.type(QStringLiteral("4"));
        press(md.detail()->DBNavigator, tk::DBNavigator::Post);
        p.disconnect();
        QCOMPARE(p.dialogs.kinds(), QStringList({"open"}));
        QCOMPARE(
            fileRows(file, "SELECT order_id, quantity FROM \"Order Items\" WHERE product_id = " +
                               tk::ss(product) + " AND quantity = 4 AND order_id IN (1, 2)"),
            QStringList({"2|4"}));
    }

    // A server from the dialog's list: its database, Test connection, OK;
    // a table opened, a cell typed over, Disconnect saves it.
    void serverTableEditedThroughTheDialog() {
        if (!pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        // A server of its own whose socket is where the dialog looks.
        pgtest::ThrowawayCluster cluster;
        QVERIFY2(cluster.start("/tmp"), cluster.error().c_str());
        const std::string server = cluster.dataSource();
        const auto run = [&](const std::string& database, const std::string& sql) {
            auto c = Program::connectTo(pgtest::connectionString(server, database));
            vdata::Command command(c.get());
            command.setCommandText(sql);
            command.execute();
        };
        run("postgres", "CREATE DATABASE journey");
        run("journey", "CREATE TABLE customers (id int PRIMARY KEY, name text, city text)");
        run("journey", "INSERT INTO customers VALUES (1, 'Ana', 'Split'), (2, 'Rok', 'Graz')");

        Program p;
        QVERIFY(p.started());
        bool listed = false;
        p.dialogs.modalScripts.push_back([&](QDialog& dialog) {
            auto& form = static_cast<ServerDialog&>(dialog);
            mainwin::showActive(form);
            listed = wintest::entries(form.cboServers).contains(QString::fromStdString(server));
            form.cboServers->setFocus(Qt::OtherFocusReason);
            QTest::keyClicks(form.cboServers, QString::fromStdString(server));
            QTest::keyClick(form.cboServers, Qt::Key_Tab); // lists its databases
            QTest::keyClicks(form.cboDatabases, QStringLiteral("journey"));
            QTest::mouseClick(form.TestConButton, Qt::LeftButton);
            QTest::mouseClick(form.btnOK, Qt::LeftButton);
            return -1;
        });
        p.form.mnuOpenSQLServer->trigger();
        QVERIFY(listed);
        QCOMPARE(p.dialogs.kinds(), QStringList({"modal", "information", "information"}));
        QCOMPARE(p.dialogs.texts().mid(1),
                 QStringList({"Connection successful", "Connection successful"}));
        QCOMPARE(p.form.pnlBaza->text(),
                 "Connected to: journey on " + QString::fromStdString(server));

        DataWindow* customers = p.click(QStringLiteral("Tables"), "customers");
        QVERIFY(customers);
        Driver d(customers->master().Grid);
        d.typeOver(1, 2, QStringLiteral("Wien"));
        d.key(Qt::Key_Return);
        p.disconnect();
        QVERIFY(!p.dm.connection.connected());
        QCOMPARE(p.dialogs.shown.size(), 3);
        QCOMPARE(rows(*Program::connectTo(pgtest::connectionString(server, "journey")),
                      "SELECT * FROM customers ORDER BY id"),
                 QStringList({"1|Ana|Split", "2|Rok|Wien"}));
    }

    // "MariaDB / MySQL" chosen with the keyboard, the server typed as its
    // socket, its database, Test connection, OK; a table opened, a cell typed
    // over, Disconnect saves it.
    void mariaDbTableEditedThroughTheDialog() {
        if (!mariadbtest::testServer()) {
            QSKIP("No MariaDB test server (scripts/test.sh starts one)");
        }
        mariadbtest::ScratchDatabase db("journey");
        db.exec("CREATE TABLE customers (id int PRIMARY KEY, name varchar(20), city varchar(20));"
                "INSERT INTO customers VALUES (1, 'Ana', 'Split'), (2, 'Rok', 'Graz')");
        const QString server = QString::fromStdString(mariadbtest::testServer()->socket);
        const QString database = QString::fromStdString(db.name());

        Program p;
        QVERIFY(p.started());
        p.dialogs.modalScripts.push_back([&](QDialog& dialog) {
            auto& form = static_cast<ServerDialog&>(dialog);
            mainwin::showActive(form);
            form.cboServerType->setFocus(Qt::OtherFocusReason);
            for (int i = 0; i < 3 && form.cboServerType->currentText() != "MariaDB / MySQL"; ++i) {
                QTest::keyClick(form.cboServerType, Qt::Key_Down);
            }
            QTest::mouseClick(form.cboServers->lineEdit(), Qt::LeftButton);
            QTest::keyClicks(form.cboServers, server);
            QTest::keyClick(form.cboServers, Qt::Key_Tab); // lists its databases
            QTest::keyClicks(form.cboDatabases, database);
            QTest::mouseClick(form.TestConButton, Qt::LeftButton);
            QTest::mouseClick(form.btnOK, Qt::LeftButton);
            return -1;
        });
        p.form.mnuOpenSQLServer->trigger();
        QCOMPARE(p.dialogs.texts().mid(1),
                 QStringList({"Connection successful", "Connection successful"}));
        QCOMPARE(p.form.pnlBaza->text(), "Connected to: " + database + " on " + server);

        DataWindow* customers = p.click(QStringLiteral("Tables"), "customers");
        QVERIFY(customers);
        Driver d(customers->master().Grid);
        d.typeOver(1, 2, QStringLiteral("Wien"));
        d.key(Qt::Key_Return);
        p.disconnect();
        QVERIFY(!p.dm.connection.connected());
        QCOMPARE(p.dialogs.shown.size(), 3);
        const auto stored =
            mariadbtest::adminQuery(db.name(), "SELECT city FROM customers ORDER BY id");
        QCOMPARE(stored, (std::vector<std::vector<std::string>>{{"Split"}, {"Wien"}}));
        // The dialog remembers the type; later journeys start on PostgreSQL.
        tk::Registry registry;
        QVERIFY(registry.openKey(QStringLiteral("Software\\QRV\\Veldmark\\Server"), false));
        registry.deleteValue(QStringLiteral("ServerType"));
    }

    // Two files opened, the program ended and started again with the same
    // settings: the recent list holds both and reopens the older one.
    void recentFilesReopenAfterARestart() {
        const mainwin::SettingsFolder settings;
        const QString first = copyOfDemo(QStringLiteral("first.db"));
        const QString second = copyOfDemo(QStringLiteral("second.db"));
        {
            Program p;
            QVERIFY(p.started());
            p.open(first);
            p.disconnect();
            p.open(second);
            QVERIFY(p.dm.connection.connected());
            p.form.FileExit1->trigger();
            QVERIFY(!p.form.isVisible());
        }
        Program again;
        QVERIFY(again.started());
        QCOMPARE(mainwin::recentFiles(again.form), QStringList({second, first}));
        for (QAction* entry : again.form.mnuMRU->actions()) {
            if (entry->text() == first) {
                entry->trigger();
            }
        }
        QCOMPARE(again.form.pnlBaza->text(), "Connected to: " + first);
        DataWindow* products = again.click(QStringLiteral("Tables"), "products");
        QVERIFY(products);
        QCOMPARE(products->master().lblRecNo->text(),
                 counter(fileRows(first, "SELECT * FROM products").size()));
        QCOMPARE(again.dialogs.shown.size(), 0);
    }
};

int main(int argc, char** argv) {
    tk::Application app(argc, argv);
    app.setTitle(wintest::appTitle);
    TestJourneys test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journeys.moc"
