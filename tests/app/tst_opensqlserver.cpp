// The server connection dialog: its opening state, the login choice, the
// connection strings it builds, the warnings, and - against the PostgreSQL
// test server - the database list, Test connection and OK.

// The service headers come before any Qt header (Qt defines "slots").
#include "data/service/Connection.h"

#include "PgTestEnv.h"
#include "ScriptedDialogs.h"
#include "data/ConnectionStrings.h"
#include "data/OpenSQLServerForm.h"

#include <QApplication>
#include <QTest>

namespace {

const QString warning = QStringLiteral("Select at least a server and a database!");

QString str(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList items(const QComboBox* box) {
    QStringList result;
    for (int i = 0; i < box->count(); ++i)
        result << box->itemText(i);
    return result;
}

QStringList kinds(const ScriptedDialogs& d) {
    QStringList result;
    for (const auto& s : d.shown)
        result << s.kind;
    return result;
}

} // namespace

class TestOpenSQLServer : public QObject {
    Q_OBJECT

    std::unique_ptr<pgtest::ScratchDatabase> scratch;

    QString server() const { return str(pgtest::socketDataSource()); }

    // Shows the dialog as the active window so that focus moves by Tab.
    static void showActive(TOpenSQLServerForm& form) {
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }

private Q_SLOTS:
    void initTestCase() {
        if (pgtest::testServer())
            scratch = std::make_unique<pgtest::ScratchDatabase>("dialog");
    }
    void cleanupTestCase() { scratch.reset(); }

    void opensWithWindowsSecurityAndEmptyBoxes() {
        TSQLConnection info;
        auto form = TOpenSQLServerForm::CreateForConnection(info);
        QCOMPARE(form->windowTitle(), QStringLiteral("SQL Server connection..."));
        QCOMPARE(form->cboServers->currentText(), QString());
        QCOMPARE(form->cboDatabases->count(), 0);
        QVERIFY(form->rbTrustedConnection->isChecked());
        QVERIFY(!form->ledUserName->isEnabled());
        QVERIFY(!form->ledPwd->isEnabled());
        QCOMPARE(form->ledPwd->echoMode(), QLineEdit::Normal);
        QVERIFY(form->btnOK->isDefault());
        QCOMPARE(form->size(), QSize(326, 339));
    }

    void loginChoiceEnablesTheBoxesAndKeepsTheirText() {
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.rbLoginInfo->click();
        QVERIFY(form.ledUserName->isEnabled() && form.ledPwd->isEnabled());
        form.ledUserName->setText(QStringLiteral("sa"));
        form.rbTrustedConnection->click();
        QVERIFY(!form.ledUserName->isEnabled() && !form.ledPwd->isEnabled());
        QCOMPARE(form.ledUserName->text(), QStringLiteral("sa"));
    }

    void serverStringFollowsTheLoginChoice() {
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        const QString base = "Data Source=srv,5433;Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                             "Persist Security Info=False";
        form.ledUserName->setText(QStringLiteral("ann"));
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv,5433")), base);
        form.ledUserName->clear();
        form.rbLoginInfo->click();
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv,5433")), base + ";uid=;pwd=");
        form.ledUserName->setText(QStringLiteral("ann"));
        form.ledPwd->setText(QStringLiteral("p w"));
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv,5433")),
                 base + ";uid=ann;pwd=p w");
    }

    // The test and final strings depend on the user name alone.
    void databaseStringsDependOnTheUserNameOnly() {
        vdata::Connection conn;
        TSQLConnection info{QStringLiteral("srv"), QStringLiteral("db"), QString(), QString()};
        assignServerConnection(conn, info);
        const QString base = "Initial Catalog=db;Data Source=srv;Provider=SQLOLEDB.1;"
                             "Integrated Security=SSPI;Persist Security Info=False";
        QCOMPARE(str(conn.connectionString()), base);
        info.UserName = QStringLiteral("ann");
        assignServerConnection(conn, info);
        QCOMPARE(str(conn.connectionString()), base + ";uid=ann;pwd=");
        info.Password = QStringLiteral("x;y");
        assignServerConnection(conn, info);
        QCOMPARE(str(conn.connectionString()), base + ";uid=ann;pwd=x;y");
    }

    void testAndOkWarnWithoutServerOrDatabase() {
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.TestConButtonClick();
        QCOMPARE(kinds(dialogs), QStringList({"warning"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Warning"));
        QCOMPARE(dialogs.shown[0].text, warning);

        // A typed server without a database: OK warns and the dialog stays.
        dialogs.clear();
        form.cboServers->setEditText(QStringLiteral("nowhere,1"));
        form.ledUserName->setText(QStringLiteral("typed while disabled"));
        form.btnOK->click();
        QCOMPARE(kinds(dialogs), QStringList({"warning"}));
        QCOMPARE(form.result(), int(QDialog::Rejected));
        // Every box was copied, whatever the login choice.
        QCOMPARE(info.ServerName, QStringLiteral("nowhere,1"));
        QCOMPARE(info.DatabaseName, QString());
        QCOMPARE(info.UserName, QStringLiteral("typed while disabled"));
    }

    void leavingAnEmptyServerBoxKeepsTheDatabaseList() {
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.cboDatabases->addItems({QStringLiteral("kept")});
        form.cboServersClick();
        QCOMPARE(items(form.cboDatabases), QStringList({"kept"}));
        QCOMPARE(dialogs.shown.size(), 0);
    }

    void unreachableServerShowsTheErrorAndLeavesTheListEmpty() {
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.cboDatabases->addItems({QStringLiteral("old")});
        form.cboServers->setEditText(QStringLiteral("127.0.0.1,1"));
        form.cboServersClick();
        QCOMPARE(kinds(dialogs), QStringList({"error"}));
        QVERIFY(!dialogs.shown[0].text.isEmpty());
        QCOMPARE(form.cboDatabases->count(), 0);
    }

    void tabFromTheServerBoxFillsTheDatabaseList() {
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        showActive(form);
        form.cboServers->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(form.cboServers, server());
        QTest::keyClick(form.cboServers, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.cboDatabases);
        QVERIFY(items(form.cboDatabases).contains(str(scratch->name())));
        QCOMPARE(form.cboDatabases->currentIndex(), -1);
        QCOMPARE(dialogs.shown.size(), 0);

        // Leaving the box again reloads and clears the choice, same name or not.
        form.cboDatabases->setCurrentIndex(0);
        form.cboDatabases->addItem(QStringLiteral("stale entry"));
        form.cboServers->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(form.cboServers, Qt::Key_Tab);
        QVERIFY(!items(form.cboDatabases).contains(QStringLiteral("stale entry")));
        QCOMPARE(form.cboDatabases->currentIndex(), -1);
    }

    void pickingAServerFillsTheListAtOnce() {
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.cboServers->addItem(server());
        form.cboServers->setCurrentIndex(form.cboServers->count() - 1);
        Q_EMIT form.cboServers->activated(form.cboServers->count() - 1);
        QVERIFY(items(form.cboDatabases).contains(str(scratch->name())));
    }

    void refusedLoginWhileListingIsReported() {
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.rbLoginInfo->click();
        form.ledUserName->setText(str(pgtest::testServer()->user));
        form.ledPwd->setText(QStringLiteral("not the password"));
        form.cboServers->setEditText(server());
        form.cboServersClick();
        QCOMPARE(kinds(dialogs), QStringList({"error"}));
        QCOMPARE(form.cboDatabases->count(), 0);

        // The right password lists them.
        dialogs.clear();
        form.ledPwd->setText(str(pgtest::testServer()->password));
        form.cboServersClick();
        QCOMPARE(dialogs.shown.size(), 0);
        QVERIFY(items(form.cboDatabases).contains(str(scratch->name())));
    }

    void testConnectionReportsSuccessAndFailure() {
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        ScriptedDialogs dialogs;
        TSQLConnection info;
        TOpenSQLServerForm form(info);
        form.cboServers->setEditText(server());
        form.cboServersClick();
        form.cboDatabases->setCurrentIndex(form.cboDatabases->findText(str(scratch->name())));
        form.TestConButtonClick();
        QCOMPARE(kinds(dialogs), QStringList({"information"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Information"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Connection successful"));
        QCOMPARE(info.ServerName, server());
        QCOMPARE(info.DatabaseName, str(scratch->name()));

        // With Windows security chosen, a typed user still goes into the test.
        dialogs.clear();
        form.ledUserName->setText(str(pgtest::testServer()->user));
        form.ledPwd->setText(QStringLiteral("wrong"));
        form.TestConButtonClick();
        QCOMPARE(kinds(dialogs), QStringList({"error"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Error"));
    }

    void okClosesWithOkAfterTheTestWhateverItsOutcome() {
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        for (const bool refused : {false, true}) {
            ScriptedDialogs dialogs;
            TSQLConnection info;
            TOpenSQLServerForm form(info);
            form.cboServers->setEditText(server());
            form.cboServersClick();
            form.cboDatabases->setCurrentIndex(form.cboDatabases->findText(str(scratch->name())));
            if (refused) {
                form.rbLoginInfo->click();
                form.ledUserName->setText(QStringLiteral("nobody_here"));
            }
            form.btnOK->click();
            QCOMPARE(kinds(dialogs), QStringList({refused ? "error" : "information"}));
            QCOMPARE(form.result(), int(QDialog::Accepted));
        }
    }
};

QTEST_MAIN(TestOpenSQLServer)
#include "tst_opensqlserver.moc"
