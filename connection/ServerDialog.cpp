#include "connection/ServerDialog.h"

#include "connection/ConnectionStrings.h"
#include "data/service/Connection.h"
#include "data/service/SourceEnumerator.h"
#include "toolkit/Cursors.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Registry.h"
#include "toolkit/Text.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabBar>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

using tk::qs;
using tk::ss;

namespace {

const QString settingsKey = QStringLiteral("Software\\QRV\\Veldmark\\Server");
const QString typeValue = QStringLiteral("ServerType");

QString rememberedServerType() {
    try {
        tk::Registry registry;
        if (registry.openKey(settingsKey, false) && registry.valueExists(typeValue))
            return registry.readString(typeValue);
    } catch (const tk::RegistryError&) {
    }
    return QString();
}

void rememberServerType(const QString& name) {
    tk::guarded([&] {
        tk::Registry registry;
        if (registry.openKey(settingsKey, true)) {
            registry.writeString(typeValue, name);
            registry.closeKey();
        }
    });
}

QStringList serverNames(const char* progId, const vdata::SourceOptions& options) {
    QStringList names;
    for (const vdata::SourceRow& row : vdata::enumerateSources(progId, options)) {
        if (row.type == 1 && !row.name.empty())
            names.append(qs(row.name));
    }
    return names;
}

} // namespace

ServerDialog::ServerDialog(ServerLogin& connection) : connection_(connection) {
    setupUi(this);
    connectHandlers();
    // Leaving the server box lists its databases, as picking an entry does.
    cboServers->installEventFilter(this);
    connect(cboServers->lineEdit(), &QLineEdit::textEdited, this, &ServerDialog::serverTextEdited);
    {
        const QSignalBlocker quiet(cboServerType);
        cboServerType->setCurrentIndex(int(serverTypeIndex(rememberedServerType())));
    }
    listServers();
    // The keyboard starts in the server box; the page's single tab takes
    // no focus, so typing never lands on the tab bar or the type list.
    if (auto* tabs = PageControl1->findChild<QTabBar*>())
        tabs->setFocusPolicy(Qt::NoFocus);
    cboServers->setFocus(Qt::OtherFocusReason);
}

void ServerDialog::connectHandlers() {
    connect(cboServerType, &QComboBox::currentIndexChanged, this,
            tk::handler(this, &ServerDialog::cboServerTypeChange));
    connect(cboServers, &QComboBox::activated, this,
            tk::handler(this, &ServerDialog::cboServersClick));
    connect(rbTrustedConnection, &QRadioButton::clicked, this,
            tk::handler(this, &ServerDialog::rbTrustedConnectionClick));
    connect(rbLoginInfo, &QRadioButton::clicked, this,
            tk::handler(this, &ServerDialog::rbLoginInfoClick));
    connect(TestConButton, &QAbstractButton::clicked, this,
            tk::handler(this, &ServerDialog::TestConButtonClick));
    connect(btnOK, &QAbstractButton::clicked, this, tk::handler(this, &ServerDialog::btnOKClick));
    connect(btnCancel, &QAbstractButton::clicked, this, &QDialog::reject);
}

std::unique_ptr<ServerDialog> ServerDialog::CreateForConnection(ServerLogin& connection) {
    return std::make_unique<ServerDialog>(connection);
}

const ServerTypeInfo& ServerDialog::ServerType() const {
    return serverTypes().at(std::size_t(std::max(cboServerType->currentIndex(), 0)));
}

void ServerDialog::ListSQLServers(QStringList& list) {
    list.append(serverNames(ServerType().progId, SourceOptions));
}

// Servers on this host are listed at once; those that answer over the
// network are gathered in the background so that the dialog stays usable.
void ServerDialog::listServers() {
    gathering_.reset();
    if (ServerType().asksNetwork) {
        fillServerBox({}); // another type's servers never stay listed meanwhile
        gatherServers();
        return;
    }
    QStringList servers;
    {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        ListSQLServers(servers);
    }
    fillServerBox(servers);
}

void ServerDialog::gatherServers(const QString& host) {
    vdata::SourceOptions options = SourceOptions;
    options.browserHost = ss(host);
    gathering_ = std::make_unique<QFutureWatcher<QStringList>>();
    QFutureWatcher<QStringList>* watcher = gathering_.get();
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher] { fillServerBox(watcher->result()); });
    watcher->setFuture(QtConcurrent::run([progId = ServerType().progId, options]() -> QStringList {
        try {
            return serverNames(progId, options);
        } catch (const std::exception&) {
            return {}; // nothing answered the way a server does
        }
    }));
}

// A host name typed with a backslash ("HOST\") lists that host's instances.
void ServerDialog::serverTextEdited(const QString& text) {
    if (ServerType().asksNetwork && text.size() > 1 && text.indexOf('\\') == text.size() - 1)
        gatherServers(text.chopped(1));
}

// What the user typed meanwhile stays in the box, the cursor where it was.
void ServerDialog::fillServerBox(const QStringList& servers) {
    const QString typed = cboServers->currentText();
    const int cursor = cboServers->lineEdit()->cursorPosition();
    cboServers->clear();
    cboServers->addItems(servers);
    cboServers->setCurrentIndex(-1);
    cboServers->setEditText(typed);
    cboServers->lineEdit()->setCursorPosition(cursor);
}

void ServerDialog::cboServerTypeChange() {
    cboDatabases->clear();
    listServers();
}

QString ServerDialog::ServerConnectionString(const QString& serverName) const {
    return serverConnectionString(ServerType().name, serverName,
                                  rbLoginInfo->isChecked()
                                      ? serverLoginClauses(ledUserName->text(), ledPwd->text())
                                      : QString());
}

// Connecting waits for the server (at most ten seconds on a server that
// never answers): under the database-wait cursor, which is reset before an
// error shows.
void ServerDialog::ListDatabases(QStringList& list, const QString& serverName) {
    vdata::Connection conn;
    conn.setConnectionString(ss(ServerConnectionString(serverName)));
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        conn.open();
        for (const std::string& name : conn.catalogNames())
            list.append(qs(name));
        conn.close();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
}

bool ServerDialog::eventFilter(QObject* watched, QEvent* event) {
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
void ServerDialog::leaveServerBox(QEvent* focusOut) {
    {
        const QScopedValueRollback<bool> leaving(leavingServerBox_, true);
        static_cast<QObject*>(cboServers)->event(focusOut);
    }
    cboServersClick();
}

void ServerDialog::cboServersClick() {
    const QString server = cboServers->currentText();
    if (server.isEmpty() || leavingServerBox_)
        return;
    cboDatabases->clear();
    QStringList names;
    ListDatabases(names, server);
    cboDatabases->addItems(names);
    // Nothing is chosen for the user: OK without a choice warns.
    cboDatabases->setCurrentIndex(-1);
}

void ServerDialog::rbTrustedConnectionClick() {
    ledUserName->setEnabled(false);
    ledPwd->setEnabled(false);
}

void ServerDialog::rbLoginInfoClick() {
    ledUserName->setEnabled(true);
    ledPwd->setEnabled(true);
}

void ServerDialog::copyIntoConnection() {
    connection_.ServerName = cboServers->currentText();
    connection_.DatabaseName =
        cboDatabases->currentIndex() >= 0 ? cboDatabases->currentText() : QString();
    connection_.UserName = ledUserName->text();
    connection_.Password = ledPwd->text();
    connection_.ServerType = ServerType().name;
}

bool ServerDialog::hasServerAndDatabase() const {
    return !connection_.ServerName.isEmpty() && !connection_.DatabaseName.isEmpty();
}

void ServerDialog::TestConButtonClick() {
    copyIntoConnection();
    if (!hasServerAndDatabase()) {
        tk::showMessage(tk::MessageKind::Warning,
                        QStringLiteral("Select at least a server and a database!"));
        return;
    }
    vdata::Connection conn;
    assignServerConnection(conn, connection_);
    try {
        {
            const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
            conn.open();
            conn.close();
        }
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

void ServerDialog::btnOKClick() {
    TestConButtonClick();
    if (hasServerAndDatabase()) {
        rememberServerType(connection_.ServerType);
        accept();
    }
}
