// Opening a server database from the main window against the PostgreSQL test
// server: the exact connection strings, the status panel and tree, a closed
// dialog, and the retry path after a failed open.

// The service headers come before any Qt header (Qt defines "slots").
#include "data/service/Connection.h"

#include "PgTestEnv.h"
#include "ScriptedDialogs.h"
#include "app/MainForm.h"
#include "data/DataModule.h"
#include "data/OpenSQLServerForm.h"
#include "toolkit/ErrorReport.h"

#include <QTest>

namespace {

QString str(const std::string& s) {
    return QString::fromStdString(s);
}

struct Shell {
    TDM dm;
    TMainForm form;
};

struct Login {
    QString user;
    QString password;
    bool loginChoice = false;
    bool alsoForListing = false; // else the databases are listed with Windows security
};

// A script for the server dialog: type the server, leave the box (which lists
// the databases), pick the database, set the login and press OK.
std::function<int(QDialog&)> choose(const QString& server, const QString& database,
                                    const Login& login = {}) {
    return [=](QDialog& dialog) {
        auto& form = static_cast<TOpenSQLServerForm&>(dialog);
        const auto setLogin = [&] {
            if (login.loginChoice)
                form.rbLoginInfo->click();
            form.ledUserName->setText(login.user);
            form.ledPwd->setText(login.password);
        };
        if (login.alsoForListing)
            setLogin();
        form.cboServers->setEditText(server);
        form.cboServersClick();
        form.cboDatabases->setCurrentIndex(form.cboDatabases->findText(database));
        setLogin();
        form.btnOK->click();
        return -1; // the dialog's own result
    };
}

int pressClose(QDialog& dialog) {
    static_cast<TOpenSQLServerForm&>(dialog).btnCancel->click();
    return -1;
}

QStringList kinds(const ScriptedDialogs& d) {
    QStringList result;
    for (const auto& s : d.shown)
        result << s.kind;
    return result;
}

} // namespace

class TestMainFormServer : public QObject {
    Q_OBJECT

    std::unique_ptr<pgtest::ScratchDatabase> scratch;
    QString server, database, base;

private Q_SLOTS:
    void initTestCase() {
        tk::setApplicationTitle(QStringLiteral("QRV Veldmark"));
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        scratch = std::make_unique<pgtest::ScratchDatabase>("shell");
        scratch->exec("CREATE TABLE customers (id int PRIMARY KEY, name text);"
                      "CREATE TABLE \"Order Items\" (id int);"
                      "CREATE VIEW customer_names AS SELECT name FROM customers;");
        server = str(pgtest::socketDataSource());
        database = str(scratch->name());
        base = "Initial Catalog=" + database + ";Data Source=" + server +
               ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False";
    }
    void cleanupTestCase() { scratch.reset(); }

    void windowsSecurityOpensWithTheExactString() {
        Shell s;
        ScriptedDialogs dialogs;
        dialogs.modalScripts.push_back(choose(server, database));
        s.form.mnuOpenSQLServerClick();

        QCOMPARE(kinds(dialogs), QStringList({"modal", "information"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("SQL Server connection..."));
        QVERIFY(s.dm.ADOConn.connected());
        QCOMPARE(str(s.dm.ADOConn.connectionString()), base);
        QCOMPARE(s.form.ConnectedTo, database + " on " + server);
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + database + " on " + server);
        QVERIFY(!s.form.mnuOpenSQLServer->isEnabled());
        QVERIFY(s.form.mnuDisconect->isEnabled());
        QCOMPARE(s.form.DBTree->topLevelItemCount(), 2);
        QStringList tables;
        for (int i = 0; i < s.form.DBTree->topLevelItem(1)->childCount(); ++i)
            tables << s.form.DBTree->topLevelItem(1)->child(i)->text(0);
        tables.sort();
        QCOMPARE(tables, QStringList({"Order Items", "customer_names", "customers"}));

        s.form.mnuDisconectClick();
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected!"));
        QVERIFY(s.form.mnuOpenSQLServer->isEnabled());
    }

    void userAndPasswordOpenOverTcp() {
        Shell s;
        ScriptedDialogs dialogs;
        const QString tcp = str(pgtest::tcpDataSource());
        const QString user = str(pgtest::testServer()->user);
        const QString password = str(pgtest::testServer()->password);
        dialogs.modalScripts.push_back(choose(tcp, database, {user, password, true, true}));
        QVERIFY(s.dm.OpenDatabase(QString(), false, QString()));
        QCOMPARE(str(s.dm.ADOConn.connectionString()),
                 "Initial Catalog=" + database + ";Data Source=" + tcp +
                     ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False"
                     ";uid=" +
                     user + ";pwd=" + password);
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + database + " on " + tcp);
    }

    void userWithEmptyPasswordFailsThenTheDialogComesBack() {
        Shell s;
        ScriptedDialogs dialogs;
        const QString user = str(pgtest::testServer()->user);
        dialogs.modalScripts.push_back(choose(server, database, {user, QString(), true}));
        dialogs.promptAnswers.push_back(QStringLiteral("anything"));
        dialogs.modalScripts.push_back(pressClose);
        QVERIFY(!s.dm.OpenDatabase(QString(), false, QString()));

        // The dialog's test fails (error), OK still closes it; the open fails
        // (error), the prompt follows, and a non-empty answer shows the dialog
        // again, where Close ends it all.
        QCOMPARE(kinds(dialogs), QStringList({"modal", "error", "error", "prompt", "modal"}));
        QCOMPARE(dialogs.shown[3].caption, QStringLiteral("MDB with password"));
        QVERIFY(str(s.dm.ADOConn.connectionString()).endsWith(";uid=" + user + ";pwd="));
        QVERIFY(!s.dm.ADOConn.connected());
        QVERIFY(s.form.ConnectedTo.isEmpty());
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected"));
        QVERIFY(s.form.mnuOpenSQLServer->isEnabled());
    }

    void failedOpenAndEmptyAnswerGivesFalse() {
        Shell s;
        ScriptedDialogs dialogs;
        dialogs.modalScripts.push_back(
            choose(server, database, {QStringLiteral("nobody_here"), QString(), true}));
        dialogs.promptAnswers.push_back(QString());
        QVERIFY(!s.dm.OpenDatabase(QString(), false, QString()));
        QCOMPARE(kinds(dialogs), QStringList({"modal", "error", "error", "prompt"}));
    }

    void closingTheDialogChangesNothing() {
        Shell s;
        ScriptedDialogs dialogs;
        s.dm.ADOConn.setConnectionString("left as it was");
        s.form.ConnectedTo = QStringLiteral("unchanged");
        dialogs.modalScripts.push_back(pressClose);
        QVERIFY(!s.dm.OpenDatabase(QString(), false, QString()));
        QCOMPARE(kinds(dialogs), QStringList({"modal"}));
        QCOMPARE(str(s.dm.ADOConn.connectionString()), QStringLiteral("left as it was"));
        QCOMPARE(s.form.ConnectedTo, QStringLiteral("unchanged"));
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected"));
    }
};

QTEST_MAIN(TestMainFormServer)
#include "tst_mainform_server.moc"
