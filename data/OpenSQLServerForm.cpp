#include "data/OpenSQLServerForm.h"

#include "data/ConnectionStrings.h"
#include "data/providers/ServerEnumerator.h"
#include "data/service/Connection.h"
#include "toolkit/Cursors.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Text.h"

#include <QFocusEvent>
#include <QScopedValueRollback>

using tk::qs;
using tk::ss;

TOpenSQLServerForm::TOpenSQLServerForm(TSQLConnection& connection) : FConnection(connection) {
    setupUi(this);
    // Leaving the server box lists its databases, as picking an entry does.
    cboServers->installEventFilter(this);
    QStringList servers;
    {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        ListSQLServers(servers);
    }
    cboServers->addItems(servers);
    cboServers->setCurrentIndex(-1);
    cboServers->clearEditText();
}

std::unique_ptr<TOpenSQLServerForm>
TOpenSQLServerForm::CreateForConnection(TSQLConnection& connection) {
    return std::make_unique<TOpenSQLServerForm>(connection);
}

void TOpenSQLServerForm::ListSQLServers(QStringList& list) {
    for (const vdata::SourceRow& row : vdata::enumerateSources("SQLOLEDB Enumerator")) {
        if (row.type == 1 && !row.name.empty())
            list.append(qs(row.name));
    }
}

QString TOpenSQLServerForm::ServerConnectionString(const QString& serverName) const {
    QString text = serverConnectionString(serverName);
    if (rbLoginInfo->isChecked())
        text += serverLoginClauses(ledUserName->text(), ledPwd->text());
    return text;
}

void TOpenSQLServerForm::ListDatabases(QStringList& list, const QString& serverName) {
    vdata::Connection conn;
    conn.setConnectionString(ss(ServerConnectionString(serverName)));
    try {
        conn.open();
        for (const std::string& name : conn.catalogNames())
            list.append(qs(name));
        conn.close();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
}

bool TOpenSQLServerForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboServers && event->type() == QEvent::FocusOut) {
        // Opening the box's own list or switching to another program is
        // not leaving the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            leaveServerBox(event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The box first finishes its own editing: a typed name that is in its list
// makes it report an activation, which belongs to this leave and lists
// nothing of its own. Then the databases are listed, once.
void TOpenSQLServerForm::leaveServerBox(QEvent* focusOut) {
    {
        const QScopedValueRollback<bool> leaving(FLeavingServerBox, true);
        static_cast<QObject*>(cboServers)->event(focusOut);
    }
    cboServersClick();
}

void TOpenSQLServerForm::cboServersClick() {
    const QString server = cboServers->currentText();
    if (server.isEmpty() || FLeavingServerBox)
        return;
    cboDatabases->clear();
    QStringList names;
    ListDatabases(names, server);
    cboDatabases->addItems(names);
    // A fresh list has no choice yet; the user picks the database.
    cboDatabases->setCurrentIndex(-1);
}

void TOpenSQLServerForm::rbTrustedConnectionClick() {
    ledUserName->setEnabled(false);
    ledPwd->setEnabled(false);
}

void TOpenSQLServerForm::rbLoginInfoClick() {
    ledUserName->setEnabled(true);
    ledPwd->setEnabled(true);
}

void TOpenSQLServerForm::copyIntoConnection() {
    FConnection.ServerName = cboServers->currentText();
    FConnection.DatabaseName =
        cboDatabases->currentIndex() >= 0 ? cboDatabases->currentText() : QString();
    FConnection.UserName = ledUserName->text();
    FConnection.Password = ledPwd->text();
}

bool TOpenSQLServerForm::hasServerAndDatabase() const {
    return !FConnection.ServerName.isEmpty() && !FConnection.DatabaseName.isEmpty();
}

void TOpenSQLServerForm::TestConButtonClick() {
    copyIntoConnection();
    if (!hasServerAndDatabase()) {
        tk::showMessage(tk::MessageKind::Warning,
                        QStringLiteral("Select at least a server and a database!"));
        return;
    }
    vdata::Connection conn;
    assignServerConnection(conn, FConnection);
    try {
        conn.open();
        conn.close();
        tk::showMessage(tk::MessageKind::Information, QStringLiteral("Connection successful"));
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
    try {
        if (conn.connected())
            conn.close();
    } catch (...) {
    }
}

void TOpenSQLServerForm::btnOKClick() {
    TestConButtonClick();
    if (hasServerAndDatabase())
        accept();
}
