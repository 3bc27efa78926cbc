// The search box of the data windows on a real SQLite file: the placeholder
// cycle, picking a column, searching in the main and the child set, and
// the failures (no column, a term that cannot be compared).

#include "tests/support/WindowTestEnv.h"

#include "toolkit/Cursors.h"
#include "toolkit/EditBox.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

using namespace wintest;

namespace {

const QColor grey(128, 128, 128);

// A table view of Customers, shown and active so that focus moves for real.
struct ShownTable {
    TfrmGridMasterFields w;
    explicit ShownTable(Env& env, const std::string& table = "Customers") : w(env.connection()) {
        w.Query.setSQL("SELECT * FROM [" + table + "]");
        w.Query.open();
        w.FormCreate(nullptr);
        w.pnlEARight->show();
        w.Grid->setFocus();
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
        tk::EditBox* box = t.w.edTrazi;
        QCOMPARE(box->text(), TfrmGridFields::searchPlaceholder);
        QCOMPARE(box->textColor(), grey);
        QVERIFY(t.w.Grid->hasFocus());
        QCOMPARE(box->text(), TfrmGridFields::searchPlaceholder);
        box->setFocus(Qt::TabFocusReason);
        QVERIFY(box->hasFocus());
        QCOMPARE(box->text(), QString());
        QVERIFY(box->textColor() != grey);
        t.w.Grid->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), TfrmGridFields::searchAgainPlaceholder);
        QCOMPARE(box->textColor(), grey);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->text(), QString());
        // A term stays, in its colour, when the box is left and entered again.
        QTest::keyClicks(box, QStringLiteral("Ber"));
        const QColor termColour = box->textColor();
        t.w.Grid->setFocus(Qt::TabFocusReason);
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
        t.w.cboTraziPoClick(t.w.cboTraziPoChild);
        QVERIFY(t.w.edTraziChild->hasFocus());
        QCOMPARE(t.w.edTraziChild->text(), QString());
        QCOMPARE(t.w.edTrazi->text(), TfrmGridFields::searchPlaceholder);
        t.w.cboTraziPoClick(t.w.cboTraziPo);
        QVERIFY(t.w.edTrazi->hasFocus());
        QCOMPARE(t.w.edTraziChild->text(), TfrmGridFields::searchAgainPlaceholder);
    }

    void matchMovesRecordCounterAndFillsTheWholeValue() {
        Env env;
        ShownTable t(env);
        tk::EditBox* box = t.w.edTrazi;
        pick(t.w.cboTraziPo, QStringLiteral("CompanyName"));
        box->setText(QStringLiteral("berg"));
        pressReturn(box);
        QCOMPARE(t.w.Query.currentRow(), 2);
        QCOMPARE(t.w.lblRecNo->text(), QStringLiteral("Record 3 / 4"));
        QCOMPARE(box->text(), QStringLiteral("Berglunds snabbkop"));
        QCOMPARE(t.w.Grid->currentIndex().row(), 2);
        // An integer column matches by equality.
        pick(t.w.cboTraziPo, QStringLiteral("Rating"));
        box->setText(QStringLiteral("5"));
        pressReturn(box);
        QCOMPARE(t.w.Query.currentRow(), 1);
        // No match: nothing moves, nothing is said; other keys do not search.
        pick(t.w.cboTraziPo, QStringLiteral("CompanyName"));
        box->setText(QStringLiteral("Nobody"));
        pressReturn(box);
        QCOMPARE(t.w.Query.currentRow(), 1);
        QCOMPARE(box->text(), QStringLiteral("Nobody"));
        box->setText(QStringLiteral("Blauer"));
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(t.w.Query.currentRow(), 1);
        QCOMPARE(env.dialogs.shown.size(), 0);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
    }

    // Letters in an integer column, and an empty column list: the default
    // error report, nothing moves, the cursor is back.
    void searchesThatCannotRunReportTheError() {
        Env env;
        ShownTable t(env);
        t.w.Query.moveTo(2);
        pick(t.w.cboTraziPo, QStringLiteral("Rating"));
        t.w.edTrazi->setText(QStringLiteral("abc"));
        pressReturn(t.w.edTrazi);
        ShownTable codes(env, "Codes");
        QCOMPARE(codes.w.cboTraziPo->count(), 0);
        codes.w.edTrazi->setText(QStringLiteral("1"));
        pressReturn(codes.w.edTrazi);
        QCOMPARE(env.count("error"), 2);
        for (const auto& shown : env.dialogs.shown)
            QCOMPARE(shown.caption, appTitle);
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);
        QCOMPARE(t.w.Query.currentRow(), 2);
        QCOMPARE(codes.w.edTrazi->text(), QStringLiteral("1"));
    }

    void childSetSearchesTheChildQuery() {
        Env env;
        TfrmGridMasterFields w(env.connection());
        linkCustomersToOrders(w, false);
        QCOMPARE(w.QueryChild.recordCount(), 3);
        QComboBox* list = w.cboTraziPoChild;
        list->setCurrentIndex(list->findText(QStringLiteral("ShipCountry")));
        w.edTraziChild->setText(QStringLiteral("fr"));
        pressReturn(w.edTraziChild);
        QCOMPARE(w.QueryChild.currentRow(), 1);
        QCOMPARE(w.edTraziChild->text(), QStringLiteral("France"));
        QCOMPARE(w.lblRecNoChild->text(), QStringLiteral("Record 2 / 3"));
        QCOMPARE(w.Query.currentRow(), 0);
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // Entries refer to fields; once their result is closed they report an
    // error instead of reaching a field that no longer exists.
    void staleEntryIsReportedNotFollowed() {
        Env env;
        ShownTable t(env);
        t.w.Query.close();
        t.w.Query.open();
        t.w.edTrazi->setText(QStringLiteral("A"));
        pressReturn(t.w.edTrazi);
        QCOMPARE(env.count("error"), 1);
        QVERIFY(env.dialogs.shown.first().text.contains(QStringLiteral("CustomerID")));
    }
};

QTEST_MAIN(TestSearchBox)
#include "tst_searchbox.moc"
