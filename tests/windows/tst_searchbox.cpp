// The search box of the data windows on a real SQLite file: the placeholder
// cycle, picking a column, searching in the main and the child set, and
// the failures (no column, a term that cannot be compared).

#include "data/service/Command.h"
#include "tests/support/WindowTestEnv.h"

#include "toolkit/Cursors.h"
#include "toolkit/EditBox.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <QListWidget>
#include <QStatusBar>
#include <QTest>

using namespace wintest;

namespace {

const QColor grey(128, 128, 128);

// A table view of Customers, shown and active so that focus moves for real.
struct ShownTable {
    DataWindow w;
    explicit ShownTable(Env& env, const std::string& table = "Customers")
        : w(env.connection(), DataWindow::Use::MasterDetail) {
        w.query().setSQL("SELECT * FROM [" + table + "]");
        w.query().open();
        w.initialise();
        w.master().Grid->setFocus();
        w.show();
        QApplication::setActiveWindow(&w);
    }
};

void pressReturn(tk::EditBox* box) {
    QTest::keyClick(box, Qt::Key_Return);
}

void pick(QComboBox* list, const QString& column) {
    list->setCurrentIndex(list->findText(column));
}

} // namespace

class TestSearchBox : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void placeholderComesAndGoes() {
        Env env;
        ShownTable t(env);
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        tk::EditBox* box = t.w.master().edTrazi;
        QCOMPARE(box->text(), DataSetPanel::searchPlaceholder);
        QCOMPARE(box->textColor(), grey);
        QVERIFY(t.w.master().Grid->hasFocus());
        QCOMPARE(box->text(), DataSetPanel::searchPlaceholder);
        box->setFocus(Qt::TabFocusReason);
        QVERIFY(box->hasFocus());
        QCOMPARE(box->text(), QString());
        QVERIFY(box->textColor() != grey);
        t.w.master().Grid->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), DataSetPanel::searchAgainPlaceholder);
        QCOMPARE(box->textColor(), grey);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), QString());
        // A term stays, in its colour, when the box is left and entered again.
        QTest::keyClicks(box, QStringLiteral("Ber"));
        const QColor termColour = box->textColor();
        t.w.master().Grid->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), QStringLiteral("Ber"));
        QCOMPARE(box->textColor(), termColour);
        // Leaving with the whole window and coming back is neither.
        box->clear();
        QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(box, &away);
        QCOMPARE(box->text(), QString());
    }

    void pickingAChildColumnFocusesTheChildBox() {
        Env env;
        ShownTable t(env);
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        emit t.w.detail()->cboTraziPo->activated(0);
        QVERIFY(t.w.detail()->edTrazi->hasFocus());
        QCOMPARE(t.w.detail()->edTrazi->text(), QString());
        QCOMPARE(t.w.master().edTrazi->text(), DataSetPanel::searchPlaceholder);
        emit t.w.master().cboTraziPo->activated(0);
        QVERIFY(t.w.master().edTrazi->hasFocus());
        QCOMPARE(t.w.detail()->edTrazi->text(), DataSetPanel::searchAgainPlaceholder);
    }

    void matchMovesRecordCounterAndFillsTheWholeValue() {
        Env env;
        ShownTable t(env);
        tk::EditBox* box = t.w.master().edTrazi;
        pick(t.w.master().cboTraziPo, QStringLiteral("CompanyName"));
        box->setText(QStringLiteral("berg"));
        pressReturn(box);
        QCOMPARE(t.w.query().currentRow(), 2);
        QCOMPARE(t.w.master().lblRecNo->text(), QStringLiteral("Record 3 / 4"));
        QCOMPARE(box->text(), QStringLiteral("Berglunds snabbkop"));
        QCOMPARE(t.w.master().Grid->currentIndex().row(), 2);
        // An integer column matches by equality.
        pick(t.w.master().cboTraziPo, QStringLiteral("Rating"));
        box->setText(QStringLiteral("5"));
        pressReturn(box);
        QCOMPARE(t.w.query().currentRow(), 1);
        // No match: nothing moves, nothing is said; other keys do not search.
        pick(t.w.master().cboTraziPo, QStringLiteral("CompanyName"));
        box->setText(QStringLiteral("Nobody"));
        pressReturn(box);
        QCOMPARE(t.w.query().currentRow(), 1);
        QCOMPARE(box->text(), QStringLiteral("Nobody"));
        box->setText(QStringLiteral("Blauer"));
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(t.w.query().currentRow(), 1);
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
    }

    // Letters in an integer column, and an empty column list: the default
    // error report, nothing moves, the cursor is back.
    void searchesThatCannotRunReportTheError() {
        Env env;
        ShownTable t(env);
        t.w.query().moveTo(2);
        pick(t.w.master().cboTraziPo, QStringLiteral("Rating"));
        t.w.master().edTrazi->setText(QStringLiteral("abc"));
        pressReturn(t.w.master().edTrazi);
        vdata::Command create(&env.connection());
        create.setCommandText("CREATE TABLE Reals (Price REAL, Picture BLOB)");
        create.execute();
        ShownTable codes(env, "Reals");
        QCOMPARE(codes.w.master().cboTraziPo->count(), 0);
        codes.w.master().edTrazi->setText(QStringLiteral("1"));
        pressReturn(codes.w.master().edTrazi);
        QCOMPARE(env.count("error"), 2);
        for (const auto& shown : env.dialogs.shown)
            QCOMPARE(shown.caption, appTitle);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        QCOMPARE(t.w.query().currentRow(), 2);
        QCOMPARE(codes.w.master().edTrazi->text(), QStringLiteral("1"));
    }

    // Every integer column is offered, a 64-bit key too, and found by value.
    void integerKeysAreSearchable() {
        Env env;
        ShownTable codes(env, "Codes");
        QCOMPARE(entries(codes.w.master().cboTraziPo), QStringList{QStringLiteral("ID")});
        codes.w.master().edTrazi->setText(QStringLiteral("1"));
        pressReturn(codes.w.master().edTrazi);
        QCOMPARE(codes.w.query().currentRow(), 0);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Searching on from a match, in the main window: Return in the box and
    // F3 in the grid go forward, Shift+F3 back, both around the end; "*"
    // finds a part; a miss moves nothing. Each step: the row, the counter
    // and the status bar's note.
    void findNextWrapsAndSaysSo() {
        Env env;
        QVERIFY(env.started());
        DataWindow* w = env.click(QStringLiteral("Tables"), QStringLiteral("Customers"));
        QVERIFY(w);
        const QString wrapFirst = QStringLiteral("Search wrapped to the first row");
        const QString wrapLast = QStringLiteral("Search wrapped to the last row");
        struct Step {
            QString column, typed; // typed: null keeps the box's text
            QKeyCombination key;
            int row;
            QString status;
        };
        const Qt::Key ret = Qt::Key_Return;
        const Step steps[] = {
            {"Country", "germany", ret, 0, {}},
            {"Country", {}, ret, 3, {}},
            {"Country", {}, ret, 0, wrapFirst},
            {"Country", {}, Qt::SHIFT | Qt::Key_F3, 3, wrapLast},
            {"Country", {}, Qt::SHIFT | Qt::Key_F3, 0, {}},
            {"Country", {}, Qt::Key_F3, 3, {}},
            {"CompanyName", "*SEE", ret, 3, {}},
            {"CompanyName", {}, Qt::Key_F3, 3, wrapFirst},
            {"CompanyName", "*und", ret, 2, {}},
            {"CompanyName", "Nobody", ret, 2, QStringLiteral("Not found")},
            {"CompanyName", {}, Qt::Key_F3, 2, QStringLiteral("Not found")},
            {"Rating", "4", Qt::SHIFT | Qt::Key_F3, 3, {}},
        };
        DataSetPanel& panel = w->master();
        for (const Step& step : steps) {
            env.form.statusBar()->clearMessage();
            pick(panel.cboTraziPo, step.column);
            if (!step.typed.isNull()) {
                panel.edTrazi->setFocus();
                panel.edTrazi->clear();
                QTest::keyClicks(panel.edTrazi, step.typed);
            }
            const bool inBox = step.key.key() == Qt::Key_Return;
            QWidget* target = inBox ? static_cast<QWidget*>(panel.edTrazi) : panel.Grid;
            target->setFocus();
            QTest::keyClick(target, step.key.key(), step.key.keyboardModifiers());
            const int row = w->query().currentRow();
            QCOMPARE((QStringList{step.typed, QString::number(row), panel.lblRecNo->text(),
                                  env.form.statusBar()->currentMessage()}),
                     (QStringList{step.typed, QString::number(step.row),
                                  QStringLiteral("Record %1 / 4").arg(step.row + 1), step.status}));
        }
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    void childSetSearchesTheChildQuery() {
        Env env;
        DataWindow w(env.connection(), DataWindow::Use::MasterDetail);
        linkCustomersToOrders(w, false);
        QCOMPARE(w.detail()->query().recordCount(), 3);
        QComboBox* list = w.detail()->cboTraziPo;
        list->setCurrentIndex(list->findText(QStringLiteral("ShipCountry")));
        w.detail()->edTrazi->setText(QStringLiteral("fr"));
        pressReturn(w.detail()->edTrazi);
        QCOMPARE(w.detail()->query().currentRow(), 1);
        QCOMPARE(w.detail()->edTrazi->text(), QStringLiteral("France"));
        QCOMPARE(w.detail()->lblRecNo->text(), QStringLiteral("Record 2 / 3"));
        QCOMPARE(w.query().currentRow(), 0);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Entries refer to fields; once their result is closed they report an
    // error instead of reaching a field that no longer exists.
    void staleEntryIsReportedNotFollowed() {
        Env env;
        ShownTable t(env);
        t.w.query().close();
        t.w.query().open();
        t.w.master().edTrazi->setText(QStringLiteral("A"));
        pressReturn(t.w.master().edTrazi);
        QCOMPARE(env.count("error"), 1);
        QVERIFY(env.dialogs.shown.first().text.contains(QStringLiteral("CustomerID")));
    }
};

QTEST_MAIN(TestSearchBox)
#include "tst_searchbox.moc"
