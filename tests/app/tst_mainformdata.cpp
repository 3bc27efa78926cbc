// The main window with data windows in it, on a real SQLite file: the tree's
// width when a window opens, opening from the tree with the keyboard, the
// Alt letters shared by a data window and the main menu, markup in data,
// and ending the program while a window holds a refused change.

#include "tests/support/MainWindowDriver.h"
#include "tests/support/WindowTestEnv.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTreeWidget>

using namespace wintest;

using mainwin::clickNode;
using mainwin::dataWindows;
using mainwin::node;
using mainwin::showActive;

class TestMainFormData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { wintest::failOnConnectionWarnings(); }

    // The tree keeps its width in a main window that is not maximized; the
    // data window scrolls inside the data area instead.
    void treeKeepsItsWidthWhenADataWindowOpens() {
        Env env;
        env.form.resize(486, 362);
        showActive(env.form);
        QCOMPARE(env.form.TreePanel->width(), 153);
        const QSize before = env.form.size();
        for (const auto& [parent, leaf] :
             {std::pair{"Tables", "Customers"}, std::pair{"Misc", "Master detail"}}) {
            clickNode(env.form,
                      node(env.form, QString::fromLatin1(parent), QString::fromLatin1(leaf)));
            QCoreApplication::processEvents();
            QCOMPARE(env.form.TreePanel->width(), 153);
            QCOMPARE(env.form.size(), before);
        }
        QCOMPARE(dataWindows(env.form).size(), 2);
    }

    void returnOrEnterOnALeafOpensIt() {
        Env env;
        showActive(env.form);
        QTreeWidget* tree = env.form.DBTree;
        tree->setFocus();
        tree->setCurrentItem(node(env.form, {}, QStringLiteral("Tables")));
        QTest::keyClick(tree, Qt::Key_Return); // a root opens nothing
        QVERIFY(dataWindows(env.form).isEmpty());
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(dataWindows(env.form).size(), 1);
        QCOMPARE(dataWindows(env.form).last()->windowTitle(), QStringLiteral("TABLE: Customers"));
        tree->setFocus();
        tree->setCurrentItem(node(env.form, QStringLiteral("Misc"), QStringLiteral("Query")));
        QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(dataWindows(env.form).size(), 2);
        QCOMPARE(dataWindows(env.form).last()->windowTitle(), QStringLiteral("\"Freehand\" query"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Alt+A is the data window's Add while the focus is in it, and the main
    // menu's About everywhere else.
    void altAAddsInADataWindowAndOpensAboutElsewhere() {
        Env env;
        showActive(env.form);
        clickNode(env.form, node(env.form, QStringLiteral("Tables"), QStringLiteral("Customers")));
        DataWindow* w = dataWindows(env.form).value(0);
        QVERIFY(w);
        QCOMPARE(QApplication::focusWidget(), w->master().Grid);
        QTest::keyClick(w->master().Grid, Qt::Key_A, Qt::AltModifier);
        QCOMPARE(w->query().state(), vdata::DataSetState::Insert);
        QVERIFY(!env.form.Help1->isVisible());
        w->query().cancel();

        env.form.DBTree->setFocus();
        QTest::keyClick(env.form.DBTree, Qt::Key_A, Qt::AltModifier);
        QVERIFY(env.form.Help1->isVisible());
        QCOMPARE(w->query().state(), vdata::DataSetState::Browse);
        QTest::keyClick(env.form.Help1, Qt::Key_Escape);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Markup in a path or a table name is shown as typed.
    void markupInDataIsShownAsPlainText() {
        Env env;
        // Markup in the file name (which cannot hold a "/").
        const QString path = env.dir.filePath(QStringLiteral("<b>shop<br>.db"));
        testdb::run(path, "CREATE TABLE \"<b>bold</b>\" (id INT);");
        env.dm.connection.close();
        showActive(env.form);
        QVERIFY(env.dm.OpenDatabase(path, true, QString()));
        QCOMPARE(env.form.pnlBaza->text(), "Connected to: " + path);
        clickNode(env.form,
                  node(env.form, QStringLiteral("Tables"), QStringLiteral("<b>bold</b>")));
        for (QLabel* label : {env.form.pnlBaza, env.form.lblTOP})
            QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(dataWindows(env.form).size(), 1);
        QCOMPARE(dataWindows(env.form).first()->windowTitle(),
                 QStringLiteral("TABLE: <b>bold</b>"));
    }

    // Exit with a change the database refused: the database's message, then
    // why the program stays open and what to do; nothing typed is dropped.
    void exitWithARefusedChangeSaysWhyItStays() {
        Env env;
        showActive(env.form);
        clickNode(env.form, node(env.form, QStringLiteral("Tables"), QStringLiteral("Customers")));
        DataWindow* w = dataWindows(env.form).value(0);
        QVERIFY(w);
        tk::DBGrid* grid = w->master().Grid;
        QVERIFY(grid->model()->setData(grid->model()->index(0, 0), QStringLiteral("ANATR")));
        env.form.FileExit1->trigger();
        QVERIFY(env.form.isVisible());
        QVERIFY(env.dm.connection.connected());
        QCOMPARE(w->query().currentValue(0).toText(), std::string("ANATR"));
        QCOMPARE(env.dialogs.kinds(), QStringList({"error", "warning"}));
        const QString why = env.dialogs.shown.last().text;
        QVERIFY2(why.contains(QStringLiteral("did not close")), qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("save")) && why.contains(QStringLiteral("cancel")),
                 qPrintable(why));

        // Once the change is cancelled the program ends.
        w->query().cancel();
        env.dialogs.clear();
        env.form.FileExit1->trigger();
        QVERIFY(!env.form.isVisible());
        QCOMPARE(env.dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TestMainFormData)
#include "tst_mainformdata.moc"
