#include "connection/ConnectionManager.h"

#include "connection/ConnectionStrings.h"
#include "connection/ServerDialog.h"
#include "connection/ServerLogin.h"
#include "data/service/Errors.h"
#include "toolkit/Dialogs.h"
#include "toolkit/SchemaCatalogCache.h"
#include "toolkit/Text.h"

ConnectionManager* connectionManager = nullptr;

ConnectionManager::ConnectionManager(QObject* parent) : QObject(parent) {
    connection.onConnectComplete = [this](vdata::EventStatus status, const std::string&) {
        connectComplete(status);
    };
    connection.onBeforeDisconnect = [this] { beforeDisconnect(); };
    connection.onDisconnect = [this] { afterDisconnect(); };
    connectionManager = this;
}

ConnectionManager::~ConnectionManager() {
    shutDown();
    if (connectionManager == this)
        connectionManager = nullptr;
}

void ConnectionManager::shutDown() {
    // The last close at exit is silent; the main window is usually gone by
    // now, and with it the receivers of the signals.
    try {
        connection.close();
    } catch (...) {
    }
}

bool ConnectionManager::OpenDatabase(const QString& name, bool isFile, const QString& password) {
    QString connectedTo;
    if (isFile) {
        assignFileConnection(connection, name, password);
        connectedTo = name;
    } else if (!assignChosenServerDatabase(connectedTo)) {
        return false;
    }
    Q_EMIT connectedToChanged(connectedTo);
    try {
        if (!connection.connected())
            connection.open();
        return true;
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, tk::qs(e.what()));
        Q_EMIT connectedToChanged(QString());
        return retryWithPassword(name, isFile);
    }
}

bool ConnectionManager::assignChosenServerDatabase(QString& connectedTo) {
    ServerLogin info;
    const std::unique_ptr<ServerDialog> dialog = ServerDialog::CreateForConnection(info);
    if (tk::Dialogs::current().showModal(*dialog) != QDialog::Accepted)
        return false;
    connectedTo = info.DatabaseName + " on " + info.ServerName;
    assignServerConnection(connection, info);
    return true;
}

// Every retry starts from a fresh connection string, so a wrong password
// never piles up; the chain ends with an open, an empty answer or a cancel.
bool ConnectionManager::retryWithPassword(const QString& name, bool isFile) {
    QString answer;
    if (!tk::Dialogs::current().prompt(
            QStringLiteral("MDB with password"),
            QStringLiteral("If this is password protected, please enter password "
                           "(leave empty to cancel):"),
            answer, 255, tk::Dialogs::Echo::Masked))
        answer.clear();
    if (answer.isEmpty())
        return false;
    return OpenDatabase(name, isFile, answer);
}

void ConnectionManager::connectComplete(vdata::EventStatus status) {
    if (status == vdata::EventStatus::OK)
        Q_EMIT connected();
}

// A data window that holds a change the database refused stays open, and
// the connection with it, so that the change can still be corrected or
// cancelled.
void ConnectionManager::beforeDisconnect() {
    bool keepOpen = false;
    Q_EMIT aboutToDisconnect(keepOpen);
    if (keepOpen)
        throw vdata::DataError("Not disconnected: a data window holds a change that the "
                               "database refused. Correct or cancel it, then disconnect again.");
}

void ConnectionManager::afterDisconnect() {
    tk::SchemaCatalogCache::instance().forget(connection.connectionString());
    Q_EMIT disconnected();
}
