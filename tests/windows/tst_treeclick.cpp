// Opening data windows from the main window's database tree, on a real
// SQLite file: the three kinds, the roots, odd table names and failures.

#include "WindowTestEnv.h"

#include "toolkit/Cursors.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>

using namespace wintest;

namespace {

QTreeWidgetItem* node(TMainForm& form, const QString& parent, const QString& text) {
    for (QTreeWidgetItem* item :
         form.DBTree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive)) {
        if ((item->parent() != nullptr ? item->parent()->text(0) : QString()) == parent) {
            return item;
        }
    }
    return nullptr;
}

void click(TMainForm& form, QTreeWidgetItem* item) {
    QVERIFY(item);
    form.DBTree->setCurrentItem(item);
    form.DBTreeClick();
}

QList<TfrmGridMasterFields*> windows(TMainForm& form) {
    QList<TfrmGridMasterFields*> result;
    for (QMdiSubWindow* sub : form.MdiClient->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* w = qobject_cast<TfrmGridMasterFields*>(sub->widget())) {
            result << w;
        }
    }
    return result;
}

} // namespace

class TestTreeClick : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void tableClickedTwiceOpensTwoTableViews() {
        Env env;
        env.form.show();
        // Active, as under a window manager: a new window's activation must
        // not pass the keyboard through the search box on its way to the grid.
        QApplication::setActiveWindow(&env.form);
        QVERIFY(QTest::qWaitForWindowActive(&env.form));
        // The roots open nothing.
        click(env.form, node(env.form, {}, QStringLiteral("Misc")));
        click(env.form, node(env.form, {}, QStringLiteral("Tables")));
        QVERIFY(windows(env.form).isEmpty());
        QTreeWidgetItem* customers =
            node(env.form, QStringLiteral("Tables"), QStringLiteral("Customers"));
        click(env.form, customers);
        click(env.form, customers);
        const QList<TfrmGridMasterFields*> open = windows(env.form);
        QCOMPARE(open.size(), 2);
        for (TfrmGridMasterFields* w : open) {
            QCOMPARE(w->windowTitle(), QStringLiteral("TABLE: Customers"));
            QCOMPARE(w->Query.sql(), std::string("SELECT * FROM [Customers]"));
            QCOMPARE(w->ui.lblRecNo->text(), QStringLiteral("Record 1 / 4"));
            QCOMPARE(w->ui.cboTraziPo->count(), 5);
            QVERIFY(w->ui.pnlQuery->isHidden());
            QVERIFY(w->ui.pnlEARight->isHidden());
            QVERIFY(w->ui.FieldBox->isHidden());
            QCOMPARE(w->ui.SQLQuery->textCursor().selectedText(),
                     QStringLiteral("[Enter SQL query here]"));
            QCOMPARE(w->ui.edTrazi->text(), TfrmGridFields::searchPlaceholder);
        }
        QCOMPARE(QApplication::focusWidget(), open[1]->ui.Grid);
        QVERIFY(open[1]->parentWidget()->isMaximized());
        open[0]->Query.moveTo(3); // two windows, two queries
        QCOMPARE(open[1]->Query.currentRow(), 0);
        QVERIFY(env.form.CloseButton->isVisibleTo(&env.form));
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void oddTableNames_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows"); // -1: the open fails
        QTest::newRow("a table named Query is a table") << "Query" << 1;
        QTest::newRow("a blank in the name") << "Order Lines" << 1;
        QTest::newRow("a bracket in the name") << "we]ird" << -1;
    }
    void oddTableNames() {
        QFETCH(QString, table);
        QFETCH(int, rows);
        Env env;
        click(env.form, node(env.form, QStringLiteral("Tables"), table));
        TfrmGridMasterFields* w = windows(env.form).value(0);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), "TABLE: " + table);
        QVERIFY(w->ui.pnlQuery->isHidden());
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        if (rows >= 0) {
            QCOMPARE(w->Query.recordCount(), rows);
            QCOMPARE(env.dialogs.shown.size(), 0);
            return;
        }
        // The failure goes to the default report; the second initialisation is skipped.
        QVERIFY(!w->Query.active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, appTitle);
        QCOMPARE(w->ui.lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(w->ui.SQLQuery->textCursor().selectedText(), QString());
    }

    void freehandAndMasterDetailEntries() {
        Env env;
        click(env.form, node(env.form, QStringLiteral("Misc"), QStringLiteral("Query")));
        click(env.form, node(env.form, QStringLiteral("Misc"), QStringLiteral("Master detail")));
        const QList<TfrmGridMasterFields*> open = windows(env.form);
        QCOMPARE(open.size(), 2);
        TfrmGridMasterFields* freehand = open[0];
        QCOMPARE(freehand->windowTitle(), QStringLiteral("\"Freehand\" query"));
        QVERIFY(!freehand->ui.pnlQuery->isHidden());
        QVERIFY(freehand->ui.pnlEARight->isHidden());
        QVERIFY(freehand->ui.FieldBox->isHidden());
        QVERIFY(!freehand->Query.active());
        TfrmGridMasterFields* md = open[1];
        QCOMPARE(md->windowTitle(), QStringLiteral("Master-detail"));
        QVERIFY(md->ui.pnlQuery->isHidden());
        QVERIFY(!md->ui.pnlEARight->isHidden());
        QVERIFY(!md->ui.FieldBox->isHidden());
        QCOMPARE(md->uiMD.cboMasterTable->count(), int(env.dm.ADOConn.tableNames().size()));
        // The keyboard starts in the SQL text (whose selected placeholder the
        // first keystroke replaces) and in the setup area; the search boxes
        // keep their placeholders.
        QCOMPARE(freehand->focusWidget(), freehand->ui.SQLQuery);
        QCOMPARE(freehand->ui.SQLQuery->textCursor().selectedText(),
                 QStringLiteral("[Enter SQL query here]"));
        QCOMPARE(md->focusWidget(), md->uiMD.cboMasterTable);
        QCOMPARE(freehand->ui.edTrazi->text(),
                 QStringLiteral("Enter your search term, hit [RETURN]"));
        QCOMPARE(env.dialogs.shown.size(), 0);
        // Disconnect closes them all.
        env.form.mnuDisconectClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(windows(env.form).isEmpty());
    }
};

QTEST_MAIN(TestTreeClick)
#include "tst_treeclick.moc"
