// The data-aware grid model, the navigator and the key/value list editor on
// a real SQLite file, without any window around them.

#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/DataSource.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDb.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/DatasetModel.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/ValueListEditor.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

struct Db {
    QTemporaryDir dir;
    vdata::Connection conn;
    std::unique_ptr<vdata::Query> query = std::make_unique<vdata::Query>(&conn);
    vdata::DataSource source{query.get()};

    Db() {
        const QString path = dir.filePath(QStringLiteral("t.db"));
        testdb::run(path, "CREATE TABLE Items (ID INT PRIMARY KEY, Name VARCHAR(20));"
                          "INSERT INTO Items VALUES (1, 'one');"
                          "INSERT INTO Items VALUES (2, 'two');"
                          "INSERT INTO Items VALUES (3, NULL);");
        conn.setConnectionString(testdb::jetString(path));
        conn.open();
        query->setSQL("SELECT * FROM Items");
    }
};

QList<bool> enabledStates(const tk::DBNavigator& nav) {
    QList<bool> states;
    for (int i = 0; i < tk::DBNavigator::buttonCount; ++i) {
        states << nav.button(i)->isEnabled();
    }
    return states;
}

} // namespace

class TestDataControls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { tk::setApplicationTitle(QStringLiteral("QRV Veldmark")); }

    void modelFollowsInsertCancelAndDelete() {
        Db db;
        tk::DBGrid grid;
        grid.setDataSource(&db.source);
        tk::DatasetModel* m = grid.datasetModel();
        QCOMPARE(m->rowCount(), 0);
        db.query->open();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->columnCount(), 2);
        QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QCOMPARE(m->indicator(0), QStringLiteral("\u25B6"));
        db.query->moveTo(1);
        QCOMPARE(grid.currentIndex().row(), 1);
        QCOMPARE(m->indicator(0), QString());
        db.query->insert();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(m->indicator(1), QStringLiteral("*"));
        QCOMPARE(m->data(m->index(2, 1)).toString(), QStringLiteral("two"));
        db.query->cancel();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->data(m->index(1, 1)).toString(), QStringLiteral("two"));
        QCOMPARE(db.query->currentRow(), 1);
        db.query->remove();
        QCOMPARE(db.query->cellText(0, 1), std::string("one"));
        QCOMPARE(m->rowCount(), 2);
        QCOMPARE(m->data(m->index(1, 1)).toString(), tk::DatasetModel::nullText);
        // A click on a row moves the query.
        grid.setCurrentIndex(m->index(0, 1));
        QCOMPARE(db.query->currentRow(), 0);
        db.query->close();
        QCOMPARE(m->rowCount(), 0);
        QCOMPARE(m->columnCount(), 0);
    }

    // A number too wide for its column is whole in the tooltip; a long or
    // multi-line text shows its first ten lines there, a short one none.
    void toolTipsShowWhatACellCuts() {
        Db db;
        QString lines;
        for (int i = 1; i <= 12; ++i) {
            lines += QStringLiteral("line %1\n").arg(i);
        }
        db.query->setSQL("SELECT 9007199254740993 AS big, 'short' AS s, '" + lines.toStdString() +
                         "' AS lines, NULL AS n");
        db.query->open();
        tk::DatasetModel model;
        model.setQuery(db.query.get());
        const auto tip = [&](int column) { return model.index(0, column).data(Qt::ToolTipRole); };
        QCOMPARE(tip(0).toString(), QStringLiteral("9007199254740993"));
        QVERIFY(!tip(1).isValid());
        QVERIFY(!tip(3).isValid());
        QCOMPARE(tip(2).toString(), lines.section(QLatin1Char('\n'), 0, 9) + QStringLiteral("\n…"));
    }

    // Ctrl+0 stores NULL, in the grid and over what an open editor holds; a
    // NOT NULL column refuses it with the engine's message and keeps its value.
    void ctrlZeroStoresNull() {
        Db db;
        ScriptedDialogs dialogs;
        for (const char* sql : {"CREATE TABLE Req (ID INT PRIMARY KEY, Name TEXT NOT NULL)",
                                "INSERT INTO Req VALUES (1, 'kept'), (2, 'two')"}) {
            vdata::Command command(&db.conn);
            command.setCommandText(sql);
            command.execute();
        }
        tk::DBGrid grid;
        grid.setDataSource(&db.source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        const auto nullKey = [&] { QTest::keyClick(&grid, Qt::Key_0, Qt::ControlModifier); };
        const auto isNull = [&](const char* sql) {
            vdata::Connection other;
            other.setConnectionString(db.conn.connectionString());
            other.open();
            vdata::Query q(&other);
            q.setSQL(sql);
            q.open();
            return q.field(0).isNull();
        };

        db.query->open();
        grid.setCurrentIndex(grid.model()->index(0, 1));
        nullKey();
        QTest::keyClick(&grid, Qt::Key_Down);
        QVERIFY(isNull("SELECT Name FROM Items WHERE ID = 1"));
        QCOMPARE(grid.model()->index(0, 1).data().toString(), tk::DatasetModel::nullText);

        QTest::keyClicks(grid.viewport(), QStringLiteral("typed")); // opens the editor
        QVERIFY(grid.viewport()->findChild<QLineEdit*>());
        nullKey();
        QTest::keyClick(&grid, Qt::Key_Up);
        QVERIFY(isNull("SELECT Name FROM Items WHERE ID = 2"));
        QCOMPARE(dialogs.shown.size(), 0);

        db.query->close();
        db.query->setSQL("SELECT * FROM Req");
        db.query->open();
        grid.setCurrentIndex(grid.model()->index(0, 1));
        nullKey();
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(dialogs.count(QStringLiteral("error")), 1);
        QVERIFY(dialogs.shown.first().text.contains(QStringLiteral("NOT NULL")));
        QVERIFY(!isNull("SELECT Name FROM Req WHERE ID = 1"));
    }

    void readOnlyResultSaysSoWhenEdited() {
        Db db;
        ScriptedDialogs dialogs;
        tk::DBGrid grid;
        grid.setDataSource(&db.source);
        db.query->setSQL("SELECT ID, Name || '!' AS Shout FROM Items");
        db.query->open();
        grid.edit(grid.model()->index(0, 1));
        QCOMPARE(dialogs.count(QStringLiteral("error")), 1);
        QCOMPARE(dialogs.shown.first().text, QString::fromStdString(db.query->readOnlyReason()));
        QVERIFY(!grid.viewport()->findChild<QLineEdit*>());
        QCOMPARE(db.query->state(), vdata::DataSetState::Browse);
    }

    // Opening a cell editor starts editing the record, so Save and Cancel are
    // offered while the user types; cancelling leaves the table alone.
    void cellEditorStartsEditing() {
        Db db;
        tk::DBGrid grid;
        grid.setDataSource(&db.source);
        tk::DBNavigator nav;
        nav.setDataSource(&db.source);
        db.query->open();
        grid.setCurrentIndex(grid.model()->index(1, 1));
        grid.edit(grid.model()->index(1, 1));
        QCOMPARE(db.query->state(), vdata::DataSetState::Edit);
        QCOMPARE(db.query->recNo(), 2);
        QVERIFY(nav.button(tk::DBNavigator::Post)->isEnabled());
        QVERIFY(nav.button(tk::DBNavigator::Cancel)->isEnabled());
        nav.click(tk::DBNavigator::Cancel);
        QCOMPARE(db.query->state(), vdata::DataSetState::Browse);
        QCOMPARE(db.query->fieldByName("Name").asString(), std::string("two"));
    }

    void queryDestroyedBeforeTheControls() {
        Db db;
        tk::DBGrid grid;
        tk::DBNavigator nav;
        grid.setDataSource(&db.source);
        nav.setDataSource(&db.source);
        db.query->open();
        db.query.reset();
        QCOMPARE(grid.dataSet(), nullptr);
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(nav.dataSet(), nullptr);
        nav.click(tk::DBNavigator::Refresh); // nothing to act on, no crash
        QVERIFY(!nav.button(tk::DBNavigator::Insert)->isEnabled());
    }

    void navigatorStatesFollowTheDataset() {
        Db db;
        tk::DBNavigator nav;
        nav.setDataSource(&db.source);
        QCOMPARE(enabledStates(nav), QList<bool>(tk::DBNavigator::buttonCount, false));
        db.query->open();
        // First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh
        QCOMPARE(enabledStates(nav),
                 (QList<bool>{false, false, true, true, true, true, true, false, false, true}));
        db.query->last();
        QCOMPARE(enabledStates(nav),
                 (QList<bool>{true, true, false, false, true, true, true, false, false, true}));
        nav.click(tk::DBNavigator::Edit);
        QCOMPARE(db.query->state(), vdata::DataSetState::Edit);
        QCOMPARE(enabledStates(nav),
                 (QList<bool>{false, false, false, false, true, false, false, true, true, true}));
        nav.click(tk::DBNavigator::Cancel);
        QCOMPARE(db.query->state(), vdata::DataSetState::Browse);
    }

    void beforeActionCancelsSilentlyOrReports() {
        Db db;
        ScriptedDialogs dialogs;
        tk::DBNavigator nav;
        nav.setDataSource(&db.source);
        QList<int> pressed;
        nav.beforeAction = [&pressed](tk::DBNavigator*, int button) {
            pressed << button;
            if (button == tk::DBNavigator::Edit) {
                throw vdata::DataError("Not now");
            }
            return button != tk::DBNavigator::Insert;
        };
        nav.click(tk::DBNavigator::Insert); // closed: the navigator does not act
        QVERIFY(pressed.isEmpty());
        db.query->open();
        nav.button(tk::DBNavigator::Insert)->click();
        QCOMPARE(db.query->state(), vdata::DataSetState::Browse);
        QCOMPARE(dialogs.shown.size(), 0);
        nav.button(tk::DBNavigator::Edit)->click();
        QCOMPARE(db.query->state(), vdata::DataSetState::Browse);
        QCOMPARE(dialogs.count(QStringLiteral("error")), 1);
        QCOMPARE(dialogs.shown.first().caption, QStringLiteral("QRV Veldmark"));
        QCOMPARE(dialogs.shown.first().text, QStringLiteral("Not now."));
        QCOMPARE(pressed, (QList<int>{tk::DBNavigator::Insert, tk::DBNavigator::Edit}));
    }

    void valueListRefusesDuplicatesAndEquals() {
        tk::ValueListEditor list;
        QCOMPARE(list.pairCount(), 0);
        QCOMPARE(list.rowCount(), 1); // the empty row shown for no pairs
        QCOMPARE(list.cell(1, 1), QString());
        list.insertPair(QStringLiteral("CustomerID"), QStringLiteral("CustID"));
        QCOMPARE(list.cell(1, 1), QStringLiteral("CustID"));
        try {
            list.insertPair(QStringLiteral("customerid"), QStringLiteral("Other"));
            QFAIL("a duplicate key was accepted");
        } catch (const tk::ListEditError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("A key with the name of \"customerid\" already exists"));
        }
        try {
            list.insertPair(QStringLiteral("a=b"), QStringLiteral("x"));
            QFAIL("a key with '=' was accepted");
        } catch (const tk::ListEditError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("Key may not contain equals sign (\"=\")"));
        }
        QCOMPARE(list.pairCount(), 1);
        QCOMPARE(list.insertPair(QStringLiteral("First"), QStringLiteral("y"), false), 0);
        QCOMPARE(list.key(0), QStringLiteral("First"));
        QCOMPARE(list.value(1), QStringLiteral("CustID"));
        QVERIFY(list.editTriggers() == QAbstractItemView::NoEditTriggers);
        list.selectRow(1);
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(list.pairCount(), 2);
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(list.pairCount(), 1);
        list.selectRow(0);
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(list.pairCount(), 0);
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.cell(1, 1), QString());
    }
};

QTEST_MAIN(TestDataControls)
#include "tst_datacontrols.moc"
