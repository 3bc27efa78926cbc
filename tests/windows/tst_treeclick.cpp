// Opening data windows from the main window's database tree, on a real
// SQLite file: the three kinds, the roots, odd table names and failures.

#include "WindowTestEnv.h"

#include "toolkit/Cursors.h"
#include "windows/GridMasterFieldsForm.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>

using namespace wintest;

namespace {

QTreeWidgetItem* node(TMainForm& form, const QString& parent, const QString& text) {
    for (int i = 0; i < form.DBTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = form.DBTree->topLevelItem(i);
        if (parent.isEmpty() && root->text(0) == text) {
            return root;
        }
        if (root->text(0) != parent) {
            continue;
        }
        for (int j = 0; j < root->childCount(); ++j) {
            if (root->child(j)->text(0) == text) {
                return root->child(j);
            }
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
    void rootsOpenNothing() {
        Env env;
        click(env.form, node(env.form, {}, QStringLiteral("Misc")));
        click(env.form, node(env.form, {}, QStringLiteral("Tables")));
        QVERIFY(windows(env.form).isEmpty());
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void tableClickedTwiceOpensTwoTableViews() {
        Env env;
        env.form.show();
        QTreeWidgetItem* customers =
            node(env.form, QStringLiteral("Tables"), QStringLiteral("Customers"));
        click(env.form, customers);
        click(env.form, customers);
        const QList<TfrmGridMasterFields*> open = windows(env.form);
        QCOMPARE(open.size(), 2);
        QVERIFY(open[0] != open[1]);
        for (TfrmGridMasterFields* w : open) {
            QCOMPARE(w->windowTitle(), QStringLiteral("TABLE: Customers"));
            QCOMPARE(w->Query.sql(), std::string("SELECT * FROM [Customers]"));
            QVERIFY(w->Query.active());
            QCOMPARE(w->ui.lblRecNo->text(), QStringLiteral("Record 1 / 4"));
            QCOMPARE(w->ui.cboTraziPo->count(), 5);
            QVERIFY(w->ui.pnlQuery->isHidden());
            QVERIFY(w->ui.pnlEARight->isHidden());
            QVERIFY(w->ui.FieldBox->isHidden());
            QCOMPARE(w->ui.SQLQuery->textCursor().selectedText(),
                     QStringLiteral("[Enter SQL query here]"));
        }
        QVERIFY(open[1]->parentWidget()->isMaximized());
        open[0]->Query.moveTo(3);
        QCOMPARE(open[1]->Query.currentRow(), 0);
        QVERIFY(env.form.CloseButton->isVisibleTo(&env.form));
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
    }

    void tableNamedQueryIsATableView() {
        Env env;
        click(env.form, node(env.form, QStringLiteral("Tables"), QStringLiteral("Query")));
        TfrmGridMasterFields* w = windows(env.form).value(0);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("TABLE: Query"));
        QVERIFY(w->ui.pnlQuery->isHidden());
        QCOMPARE(w->Query.recordCount(), 1);
    }

    void tableNameWithABlankIsBracketed() {
        Env env;
        click(env.form, node(env.form, QStringLiteral("Tables"), QStringLiteral("Order Lines")));
        TfrmGridMasterFields* w = windows(env.form).value(0);
        QVERIFY(w);
        QCOMPARE(w->Query.recordCount(), 1);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void tableNameWithABracketFailsThroughTheDefaultReport() {
        Env env;
        click(env.form, node(env.form, QStringLiteral("Tables"), QStringLiteral("we]ird")));
        TfrmGridMasterFields* w = windows(env.form).value(0);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("TABLE: we]ird"));
        QVERIFY(!w->Query.active());
        QCOMPARE(env.count("error"), 1);
        QCOMPARE(env.dialogs.shown.first().caption, appTitle);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        // The second initialisation was skipped.
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
        QCOMPARE(freehand->ui.cboTraziPo->count(), 0);
        TfrmGridMasterFields* md = open[1];
        QCOMPARE(md->windowTitle(), QStringLiteral("Master-detail"));
        QVERIFY(md->ui.pnlQuery->isHidden());
        QVERIFY(!md->ui.pnlEARight->isHidden());
        QVERIFY(!md->ui.FieldBox->isHidden());
        QCOMPARE(md->uiMD.cboMasterTable->count(), int(env.dm.ADOConn.tableNames().size()));
        QCOMPARE(md->uiMD.cboMasterTable->currentIndex(), -1);
        QCOMPARE(md->ui.lblRecNo->text(), QStringLiteral("No dataset opened!"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void disconnectClosesEveryWindow() {
        Env env;
        click(env.form, node(env.form, QStringLiteral("Tables"), QStringLiteral("Orders")));
        click(env.form, node(env.form, QStringLiteral("Misc"), QStringLiteral("Master detail")));
        QCOMPARE(windows(env.form).size(), 2);
        env.form.mnuDisconectClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(windows(env.form).isEmpty());
        QVERIFY(!env.dm.ADOConn.connected());
    }
};

QTEST_MAIN(TestTreeClick)
#include "tst_treeclick.moc"
