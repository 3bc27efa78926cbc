// The server connection dialog and opening a server database from the main
// window: the dialog's state, the login choice, the exact connection strings,
// the warnings, and - against the PostgreSQL test server - the database list,
// Test connection, OK, and the retry path after a failed open; the server
// types with their server lists and strings, and the type used last; a
// server that never answers.

#include "connection/ConnectionStrings.h"
#include "connection/ServerDialog.h"
#include "data/service/Progress.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/ServerResponders.h"
#include "toolkit/Cursors.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Registry.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

const QString warning = QStringLiteral("Select at least a server and a database!");

QString str(const std::string& s) {
    return QString::fromStdString(s);
}

using Shell = ProgramFixture;
constexpr auto items = program::entries;
using mainwin::showActive;

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
        auto& form = static_cast<ServerDialog&>(dialog);
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

const QByteArray browserInstances =
    "ServerName;DBHOST;InstanceName;SALES;IsClustered;No;Version;16.0.1000.6;tcp;49721;;"
    "ServerName;DBHOST;InstanceName;MSSQLSERVER;IsClustered;No;Version;16.0;tcp;1433;;";

int pressClose(QDialog& dialog) {
    static_cast<ServerDialog&>(dialog).btnCancel->click();
    return -1;
}

} // namespace

class TestOpenSQLServer : public QObject {
    Q_OBJECT

    std::unique_ptr<pgtest::ScratchDatabase> scratch;
    QTemporaryDir odbcDir;

    QString server() const { return str(pgtest::socketDataSource()); }
    QString database() const { return str(scratch->name()); }
    // The final string with Windows security for a server.
    QString base(const QString& server) const {
        return "Initial Catalog=" + database() + ";Data Source=" + server +
               ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False";
    }

private Q_SLOTS:
    void initTestCase() {
        tk::setApplicationTitle(program::title);
        // A private user odbc.ini (unixODBC reads the file ODBCINI names).
        QFile dsn(odbcDir.filePath("odbc.ini"));
        QVERIFY(dsn.open(QIODevice::WriteOnly));
        dsn.write("[Veldmark Test]\nDriver=SQLite3\nDatabase=/tmp/veldmark-test.db\n");
        dsn.close();
        qputenv("ODBCINI", dsn.fileName().toLocal8Bit());
        if (!pgtest::testServer())
            QSKIP(pgtest::noServerMessage);
        scratch = std::make_unique<pgtest::ScratchDatabase>("dialog");
        scratch->exec("CREATE TABLE customers (id int PRIMARY KEY, name text);"
                      "CREATE TABLE \"Order Items\" (id int);"
                      "CREATE VIEW customer_names AS SELECT name FROM customers;");
    }
    void cleanupTestCase() { scratch.reset(); }
    // Every test starts on PostgreSQL, as the first use does.
    void init() {
        tk::Registry registry;
        if (registry.openKey(QStringLiteral("Software\\QRV\\Veldmark\\Server"), false)) {
            registry.deleteValue(QStringLiteral("ServerType"));
            registry.closeKey();
        }
    }

    void openingStateAndLoginChoice() {
        ServerLogin info;
        auto form = ServerDialog::CreateForConnection(info);
        QCOMPARE(form->windowTitle(), QStringLiteral("SQL Server connection..."));
        QCOMPARE(form->cboServers->currentText(), QString());
        QCOMPARE(form->cboDatabases->count(), 0);
        QVERIFY(form->rbTrustedConnection->isChecked());
        QVERIFY(!form->ledUserName->isEnabled() && !form->ledPwd->isEnabled());
        QCOMPARE(form->ledPwd->echoMode(), QLineEdit::Password);
        QVERIFY(form->btnOK->isDefault());
        QCOMPARE(form->size(), QSize(326, 383));
        QCOMPARE(form->cboServerType->currentText(), QStringLiteral("PostgreSQL"));
        form->show();
        for (const QWidget* w : form->TabSheet1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(form->TabSheet1->rect().contains(w->geometry()), qPrintable(w->objectName()));
        form->rbLoginInfo->click();
        QVERIFY(form->ledUserName->isEnabled() && form->ledPwd->isEnabled());
        form->ledUserName->setText(QStringLiteral("sa"));
        form->rbTrustedConnection->click();
        QVERIFY(!form->ledUserName->isEnabled() && !form->ledPwd->isEnabled());
        QCOMPARE(form->ledUserName->text(), QStringLiteral("sa"));
    }

    // The listing string follows the login choice; the test and final strings
    // depend on the user name alone.
    void connectionStringsCharacterForCharacter() {
        ServerLogin info;
        ServerDialog form(info);
        const QString listing = "Data Source=srv,5433;Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                                "Persist Security Info=False";
        form.ledUserName->setText(QStringLiteral("ann"));
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv,5433")), listing);
        form.ledUserName->clear();
        form.rbLoginInfo->click();
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv,5433")), listing + ";uid=;pwd=");
        form.ledUserName->setText(QStringLiteral("ann"));
        form.ledPwd->setText(QStringLiteral("p w"));
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv,5433")),
                 listing + ";uid=ann;pwd=p w");

        vdata::Connection conn;
        ServerLogin db{QStringLiteral("srv"), QStringLiteral("db"), QString(), QString()};
        const QString final = "Initial Catalog=db;Data Source=srv;Provider=SQLOLEDB.1;"
                              "Integrated Security=SSPI;Persist Security Info=False";
        assignServerConnection(conn, db);
        QCOMPARE(str(conn.connectionString()), final);
        db.UserName = QStringLiteral("ann");
        assignServerConnection(conn, db);
        QCOMPARE(str(conn.connectionString()), final + ";uid=ann;pwd=");
        db.Password = QStringLiteral("x;y");
        assignServerConnection(conn, db);
        QCOMPARE(str(conn.connectionString()), final + ";uid=ann;pwd=\"x;y\"");
        form.ledPwd->setText(QStringLiteral("a=\"b\""));
        QCOMPARE(form.ServerConnectionString(QStringLiteral("srv;x")),
                 "Data Source=\"srv;x\";Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                 "Persist Security Info=False;uid=ann;pwd=\"a=\"\"b\"\"\"");
    }

    // A role whose password holds ';', '=' or quotes logs in, for the
    // database list and for the connection.
    void oddPasswordsLogIn() {
        const QStringList passwords{"ab;cd", "a=b", "\"q\"", "x;Data Source=127.0.0.1,1"};
        for (int i = 0; i < passwords.size(); ++i) {
            const std::string role = "odd_login_" + std::to_string(i);
            std::string literal;
            for (const QChar c : passwords[i])
                literal += c == '\'' ? std::string("''") : std::string(1, c.toLatin1());
            pgtest::adminQuery("postgres", "DROP ROLE IF EXISTS " + role);
            pgtest::adminQuery("postgres",
                               "CREATE ROLE " + role + " LOGIN PASSWORD '" + literal + "'");
            {
                Shell s;
                ScriptedDialogs& dialogs = s.dialogs;
                const QString tcp = str(pgtest::tcpDataSource());
                dialogs.modalScripts.push_back(
                    choose(tcp, database(), {str(role), passwords[i], true, true}));
                QVERIFY(s.dm.OpenDatabase(QString(), false, QString()));
                QCOMPARE(dialogs.texts(), (QStringList{"", "Connection successful"}));
                const QString written = '"' + QString(passwords[i]).replace("\"", "\"\"") + '"';
                QCOMPARE(str(s.dm.connection.connectionString()),
                         base(tcp) + ";uid=" + str(role) + ";pwd=" + written);
            }
            pgtest::adminQuery("postgres", "DROP ROLE " + role);
        }
    }

    void testAndOkWarnWithoutServerOrDatabase() {
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        form.TestConButtonClick();
        QCOMPARE(dialogs.kinds(), QStringList({"warning"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Warning"));
        QCOMPARE(dialogs.shown[0].text, warning);

        // A typed server without a database: OK warns and the dialog stays.
        dialogs.clear();
        form.cboServers->setEditText(QStringLiteral("nowhere,1"));
        form.ledUserName->setText(QStringLiteral("typed while disabled"));
        form.btnOK->click();
        QCOMPARE(dialogs.kinds(), QStringList({"warning"}));
        QCOMPARE(form.result(), int(QDialog::Rejected));
        // Every box was copied, whatever the login choice.
        QCOMPARE(info.ServerName, QStringLiteral("nowhere,1"));
        QCOMPARE(info.DatabaseName, QString());
        QCOMPARE(info.UserName, QStringLiteral("typed while disabled"));
    }

    void leavingTheServerBoxWithoutAReachableServer() {
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        form.cboDatabases->addItems({QStringLiteral("kept")});
        form.cboServersClick(); // empty box: the list stays
        QCOMPARE(items(form.cboDatabases), QStringList({"kept"}));
        QCOMPARE(dialogs.shown.size(), 0);
        form.cboServers->setEditText(QStringLiteral("127.0.0.1,1")); // wrong port
        form.cboServersClick();
        QCOMPARE(dialogs.kinds(), QStringList({"error"}));
        QVERIFY(!dialogs.shown[0].text.isEmpty());
        QCOMPARE(form.cboDatabases->count(), 0);
    }

    void tabOrPickingTheServerFillsTheDatabaseList() {
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        showActive(form);
        form.cboServers->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(form.cboServers, server());
        QTest::keyClick(form.cboServers, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.cboDatabases);
        QVERIFY(items(form.cboDatabases).contains(database()));
        QCOMPARE(form.cboDatabases->currentIndex(), -1); // nothing chosen for the user
        QCOMPARE(dialogs.shown.size(), 0);

        // Leaving the box again reloads and clears the choice, same name or not.
        form.cboDatabases->setCurrentIndex(0);
        form.cboDatabases->addItem(QStringLiteral("stale entry"));
        form.cboServers->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(form.cboServers, Qt::Key_Tab);
        QVERIFY(!items(form.cboDatabases).contains(QStringLiteral("stale entry")));
        QCOMPARE(form.cboDatabases->currentIndex(), -1);

        // Picking a listed server fills the list at once.
        form.cboDatabases->clear();
        form.cboServers->addItem(server());
        form.cboServers->setCurrentIndex(form.cboServers->count() - 1);
        Q_EMIT form.cboServers->activated(form.cboServers->count() - 1);
        QVERIFY(items(form.cboDatabases).contains(database()));

        // OK with no database chosen warns; Down chooses the first, and
        // Return takes it.
        form.cboDatabases->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.cboDatabases, Qt::Key_Return);
        QCOMPARE(dialogs.kinds(), QStringList({"warning"}));
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QTest::keyClick(form.cboDatabases, Qt::Key_Down);
        QTest::keyClick(form.cboDatabases, Qt::Key_Return);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(info.DatabaseName, form.cboDatabases->itemText(0));
    }

    // The keyboard starts in the server box: what the user types first is
    // a server name, never a server type; Tab goes on to the database list.
    void theKeyboardStartsInTheServerBox() {
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        showActive(form);
        const QString type = form.cboServerType->currentText();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("srv1"));
        QCOMPARE(form.cboServers->currentText(), QStringLiteral("srv1"));
        QCOMPARE(form.cboServerType->currentText(), type);
        form.cboServers->setEditText(QString()); // nothing to list on leaving
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.cboDatabases);
    }

    // A typed name that is also in the server list: leaving the box lists
    // the databases once (one error box when the listing fails).
    void leavingTheBoxWithAListedNameListsOnce_data() {
        QTest::addColumn<bool>("reachable");
        QTest::newRow("listing fails") << false;
        QTest::newRow("listing works") << true;
    }
    void leavingTheBoxWithAListedNameListsOnce() {
        QFETCH(bool, reachable);
        const QString name = reachable ? server() : QStringLiteral("127.0.0.1,1");
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        form.cboServers->addItem(name);
        form.cboServers->setCurrentIndex(-1);
        showActive(form);
        form.cboServers->setFocus(Qt::OtherFocusReason);
        int filled = 0; // times a listing filled the database list
        connect(form.cboDatabases->model(), &QAbstractItemModel::rowsInserted, &form,
                [&] { ++filled; });
        QTest::keyClicks(form.cboServers, name);
        QTest::keyClick(form.cboServers, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.cboDatabases);
        QCOMPARE(filled, reachable ? 1 : 0);
        QCOMPARE(dialogs.kinds(), reachable ? QStringList() : QStringList({"error"}));
        QCOMPARE(items(form.cboDatabases).contains(database()), reachable);
    }

    void refusedLoginWhileListingIsReported() {
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        form.rbLoginInfo->click();
        form.ledUserName->setText(str(pgtest::testServer()->user));
        form.ledPwd->setText(QStringLiteral("not the password"));
        form.cboServers->setEditText(server());
        form.cboServersClick();
        QCOMPARE(dialogs.kinds(), QStringList({"error"}));
        QCOMPARE(form.cboDatabases->count(), 0);

        // The right password lists them.
        dialogs.clear();
        form.ledPwd->setText(str(pgtest::testServer()->password));
        form.cboServersClick();
        QCOMPARE(dialogs.shown.size(), 0);
        QVERIFY(items(form.cboDatabases).contains(database()));
    }

    void testConnectionReportsSuccessAndFailure() {
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        form.cboServers->setEditText(server());
        form.cboServersClick();
        form.cboDatabases->setCurrentIndex(form.cboDatabases->findText(database()));
        form.TestConButtonClick();
        QCOMPARE(dialogs.kinds(), QStringList({"information"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Information"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Connection successful"));
        QCOMPARE(info.ServerName, server());
        QCOMPARE(info.DatabaseName, database());

        // With Windows security chosen, a typed user still goes into the test.
        dialogs.clear();
        form.ledUserName->setText(str(pgtest::testServer()->user));
        form.ledPwd->setText(QStringLiteral("wrong"));
        form.TestConButtonClick();
        QCOMPARE(dialogs.kinds(), QStringList({"error"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("Error"));
    }

    // From the main window: the exact string, the panel, the tree, Disconnect.
    void windowsSecurityOpensWithTheExactString() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        dialogs.modalScripts.push_back(choose(server(), database()));
        s.form.mnuOpenSQLServerClick();

        QCOMPARE(dialogs.kinds(), QStringList({"modal", "information"}));
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("SQL Server connection..."));
        QVERIFY(s.dm.connection.connected());
        QCOMPARE(str(s.dm.connection.connectionString()), base(server()));
        QCOMPARE(s.form.ConnectedTo, database() + " on " + server());
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + database() + " on " + server());
        QVERIFY(!s.form.mnuOpenSQLServer->isEnabled());
        QVERIFY(s.form.mnuDisconnect->isEnabled());
        QStringList tables;
        for (int i = 0; i < s.form.DBTree->topLevelItem(1)->childCount(); ++i)
            tables << s.form.DBTree->topLevelItem(1)->child(i)->text(0);
        tables.sort();
        QCOMPARE(tables, QStringList({"Order Items", "customer_names", "customers"}));

        s.form.mnuDisconnectClick();
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected!"));
        QVERIFY(s.form.mnuOpenSQLServer->isEnabled());
    }

    void userAndPasswordOpenOverTcp() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        const QString tcp = str(pgtest::tcpDataSource());
        const QString user = str(pgtest::testServer()->user);
        const QString password = str(pgtest::testServer()->password);
        dialogs.modalScripts.push_back(choose(tcp, database(), {user, password, true, true}));
        QVERIFY(s.dm.OpenDatabase(QString(), false, QString()));
        // The test password holds a quote, so it is written in quotes.
        QCOMPARE(str(s.dm.connection.connectionString()),
                 base(tcp) + ";uid=" + user + ";pwd=\"" + password + '"');
        QCOMPARE(s.form.pnlBaza->text(), "Connected to: " + database() + " on " + tcp);
    }

    // A refused login: the dialog's own test fails (error), OK still closes it
    // with OK; the open fails (error) and the prompt follows. A non-empty
    // answer shows the dialog again, an empty one gives up.
    void refusedLoginRetriesThroughThePrompt() {
        const QString user = str(pgtest::testServer()->user);
        for (const bool again : {true, false}) {
            Shell s;
            ScriptedDialogs& dialogs = s.dialogs;
            dialogs.modalScripts.push_back(choose(server(), database(), {user, QString(), true}));
            dialogs.promptAnswers.push_back(again ? QStringLiteral("anything") : QString());
            dialogs.modalScripts.push_back(pressClose);
            QVERIFY(!s.dm.OpenDatabase(QString(), false, QString()));
            QStringList expected{"modal", "error", "error", "prompt"};
            if (again)
                expected << "modal";
            QCOMPARE(dialogs.kinds(), expected);
            QCOMPARE(dialogs.shown[3].caption, QStringLiteral("MDB with password"));
            QCOMPARE(str(s.dm.connection.connectionString()),
                     base(server()) + ";uid=" + user + ";pwd=");
            QVERIFY(!s.dm.connection.connected());
            QVERIFY(s.form.ConnectedTo.isEmpty());
            QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected"));
            QVERIFY(s.form.mnuOpenSQLServer->isEnabled());
        }
    }

    // Each type in its place in the list: choosing it lists its servers
    // (found the way that type is found) and clears the databases; the strings
    // for listing and for the final connection, trusted and by name.
    void serverTypes_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("trusted"); // for listing; the final string adds the catalog
        QTest::addColumn<QString>("named");   // for listing, ann with password "p;w"
        const QString pg =
            ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False";
        const QString login = ";uid=ann;pwd=\"p;w\"";
        QTest::newRow("PostgreSQL")
            << 0 << "PostgreSQL"
            << "srv,5433"
            << "Data Source=srv,5433" + pg << "Data Source=srv,5433" + pg + login;
        const auto odbc = [&](const char* tag, int index, const char* type, const QString& server,
                              const QString& written) {
            const QString base = "Data Source=" + written + ";Provider=ODBC;Server Type=" + type;
            QTest::newRow(tag) << index << tag << server << base + ";Integrated Security=SSPI"
                               << base + login;
        };
        odbc("SQL Server", 1, "SQL Server", "DBHOST\\SALES", "DBHOST\\SALES");
        const QString maria = "Data Source=db.example,3307;Provider=MariaDB";
        QTest::newRow("MariaDB / MySQL")
            << 2 << "MariaDB / MySQL"
            << "db.example,3307" << maria + ";Integrated Security=SSPI" << maria + login;
        odbc("ODBC data source", 3, "ODBC", " Veldmark;Test", "\" Veldmark;Test\"");
    }
    void serverTypes() {
        QFETCH(int, index);
        QFETCH(QString, label);
        QFETCH(QString, server);
        QFETCH(QString, trusted);
        QFETCH(QString, named);
        ServerLogin info;
        ServerDialog form(info);
        QCOMPARE(form.cboServerType->count(), 4);
        QCOMPARE(form.cboServerType->itemText(index), label);

        pgtest::ThrowawayCluster postgres;
        std::optional<responders::BrowserResponder> browser;
        std::optional<responders::ListeningSocket> mariadb;
        QString listed = QStringLiteral("Veldmark Test");
        if (index == 0) {
            QVERIFY2(postgres.start("/tmp"), postgres.error().c_str());
            listed = str(postgres.dataSource());
            form.cboServerType->setCurrentIndex(3);
        } else if (index == 1) {
            browser.emplace(QList<QByteArray>{responders::browserAnswer(browserInstances)});
            form.SourceOptions.browserPort = browser->port();
            listed = QStringLiteral("DBHOST\\SALES");
        } else if (index == 2) {
            if (QFile::exists("/tmp/mysql.sock"))
                QSKIP("/tmp/mysql.sock belongs to something else here");
            mariadb.emplace("/tmp/mysql.sock");
            listed = QStringLiteral("/tmp/mysql.sock");
        }
        form.cboDatabases->addItem(QStringLiteral("stale"));
        form.cboServerType->setCurrentIndex(index);
        QCOMPARE(form.cboDatabases->count(), 0);
        QTRY_VERIFY(items(form.cboServers).contains(listed));

        QCOMPARE(form.ServerConnectionString(server), trusted);
        form.rbLoginInfo->click();
        form.ledUserName->setText(QStringLiteral("ann"));
        form.ledPwd->setText(QStringLiteral("p;w"));
        QCOMPARE(form.ServerConnectionString(server), named);
        vdata::Connection conn;
        ServerLogin chosen{server, QStringLiteral("db"), QString(), QString(),
                           form.ServerType().name};
        assignServerConnection(conn, chosen);
        QCOMPARE(str(conn.connectionString()), "Initial Catalog=db;" + trusted);
        chosen.UserName = QStringLiteral("ann");
        chosen.Password = QStringLiteral("p;w");
        assignServerConnection(conn, chosen);
        QCOMPARE(str(conn.connectionString()), "Initial Catalog=db;" + named);
    }

    // The SQL Server list is gathered in the background (about a second):
    // the dialog answers at once and what is typed meanwhile stays. Typing
    // "HOST\" asks that host's browser.
    void keysTypedWhileServersAreGatheredAreKept() {
        responders::BrowserResponder browser({responders::browserAnswer(browserInstances)});
        ServerLogin info;
        ServerDialog form(info);
        form.SourceOptions.browserPort = browser.port();
        showActive(form);
        form.cboServers->setFocus(Qt::OtherFocusReason);
        form.cboServers->addItem(QStringLiteral("listed for the type before"));
        form.cboServers->setCurrentIndex(-1);
        QElapsedTimer clock;
        clock.start();
        form.cboServerType->setCurrentIndex(1);
        QTest::keyClicks(form.cboServers, QStringLiteral("typed,1"));
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(form.cboServers->count(), 0);
        QTRY_COMPARE(items(form.cboServers), (QStringList{"DBHOST", "DBHOST\\SALES"}));
        QCOMPARE(form.cboServers->currentText(), QStringLiteral("typed,1"));
        QTest::keyClicks(form.cboServers, QStringLiteral("X"));
        QCOMPARE(form.cboServers->currentText(), QStringLiteral("typed,1X"));

        // A host name and a backslash ask that host alone.
        form.cboServers->clear();
        form.cboServers->clearEditText();
        QTest::keyClicks(form.cboServers, QStringLiteral("localhost\\"));
        QTRY_COMPARE(items(form.cboServers), (QStringList{"DBHOST", "DBHOST\\SALES"}));
        QCOMPARE(browser.unicastRequests(), 1);
        QCOMPARE(form.cboServers->currentText(), QStringLiteral("localhost\\"));
    }

    // "MariaDB / MySQL" on a port whose server accepts and never answers
    // (another kind of server, a hung one): listing the databases and the
    // connection test give up with a message, under the database-wait
    // cursor, and the dialog goes on working.
    void aServerThatNeverAnswersIsGivenUp_data() {
        QTest::addColumn<bool>("testButton");
        QTest::newRow("leaving the server box") << false;
        QTest::newRow("Test connection") << true;
    }
    void aServerThatNeverAnswersIsGivenUp() {
        QFETCH(bool, testButton);
        responders::SilentTcpPort silent;
        QVERIFY(silent.listening());
        ScriptedDialogs dialogs;
        ServerLogin info;
        ServerDialog form(info);
        form.cboServerType->setCurrentIndex(2);
        showActive(form);
        QList<tk::CursorShape> cursors; // as the waiting connect reports
        const vdata::ProgressScope watch([&](std::size_t) {
            cursors << tk::appCursor();
            return true;
        });
        const QString address = "127.0.0.1," + QString::number(silent.port());
        if (testButton) {
            form.cboDatabases->setFocus(Qt::OtherFocusReason); // the click leaves no server box
            form.cboServers->setEditText(address);
            form.cboDatabases->addItem(QStringLiteral("shop"));
            form.cboDatabases->setCurrentIndex(0);
            QTest::mouseClick(form.TestConButton, Qt::LeftButton);
        } else {
            form.cboServers->setFocus(Qt::OtherFocusReason);
            QTest::keyClicks(form.cboServers, address);
            QTest::keyClick(form.cboServers, Qt::Key_Tab);
        }
        QCOMPARE(dialogs.kinds(), QStringList({"error"}));
        QVERIFY2(dialogs.shown[0].text.contains(QLatin1String("did not answer")),
                 qPrintable(dialogs.shown[0].text));
        QVERIFY(!cursors.isEmpty());
        QCOMPARE(cursors.count(tk::CursorShape::SqlWait), cursors.size());
        QCOMPARE(tk::appCursor(), tk::CursorShape::Default);

        form.cboServerType->setCurrentIndex(0);
        form.cboServers->setEditText(server());
        form.cboServersClick();
        QVERIFY(items(form.cboDatabases).contains(database()));
    }

    // The type of the last accepted dialog is where the next one starts;
    // closing the dialog does not change it.
    void theTypeUsedLastIsRemembered() {
        ScriptedDialogs dialogs; // the test connection fails without a server
        for (const bool accept : {true, false}) {
            ServerLogin info;
            ServerDialog form(info);
            form.cboServerType->setCurrentIndex(accept ? 2 : 3);
            form.cboServers->setEditText(QStringLiteral("127.0.0.1,1"));
            form.cboDatabases->addItem(QStringLiteral("shop"));
            form.cboDatabases->setCurrentIndex(0);
            (accept ? form.btnOK : form.btnCancel)->click();
            QCOMPARE(info.ServerType, accept ? QStringLiteral("MariaDB") : QString("PostgreSQL"));
            ServerDialog again(info);
            QCOMPARE(again.cboServerType->currentText(), QStringLiteral("MariaDB / MySQL"));
        }
    }

    void closingTheDialogChangesNothing() {
        Shell s;
        ScriptedDialogs& dialogs = s.dialogs;
        s.dm.connection.setConnectionString("left as it was");
        s.form.ConnectedTo = QStringLiteral("unchanged");
        dialogs.modalScripts.push_back(pressClose);
        QVERIFY(!s.dm.OpenDatabase(QString(), false, QString()));
        QCOMPARE(dialogs.kinds(), QStringList({"modal"}));
        QCOMPARE(str(s.dm.connection.connectionString()), QStringLiteral("left as it was"));
        QCOMPARE(s.form.ConnectedTo, QStringLiteral("unchanged"));
        QCOMPARE(s.form.pnlBaza->text(), QStringLiteral("NOT Connected"));
    }
};

QTEST_MAIN(TestOpenSQLServer)
#include "tst_opensqlserver.moc"
