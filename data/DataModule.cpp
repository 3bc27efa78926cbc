#include "data/DataModule.h"

#include "data/ConnectionStrings.h"
#include "data/OpenSQLServerForm.h"
#include "data/SQLConnection.h"
#include "data/service/Errors.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Text.h"

TDM* DM = nullptr;

TDM::TDM(QObject* parent) : QObject(parent) {
    ADOConn.onConnectComplete = [this](vdata::EventStatus status, const std::string&) {
        ADOConnConnectComplete(status);
    };
    ADOConn.onBeforeDisconnect = [this] { ADOConnBeforeDisconnect(); };
    ADOConn.onDisconnect = [this] { ADOConnDisconnect(); };
    DM = this;
}

TDM::~TDM() {
    DataModuleDestroy();
    if (DM == this)
        DM = nullptr;
}

void TDM::DataModuleDestroy() {
    // The last close at exit is silent; the main window is usually gone by
    // now, and with it the receivers of the signals.
    try {
        ADOConn.close();
    } catch (...) {
    }
}

bool TDM::OpenDatabase(const QString& name, bool IsAccess, const QString& password) {
    QString connectedTo;
    if (IsAccess) {
        assignFileConnection(ADOConn, name, password);
        connectedTo = name;
    } else if (!assignChosenServerDatabase(connectedTo)) {
        return false;
    }
    Q_EMIT connectedToChanged(connectedTo);
    try {
        if (!ADOConn.connected())
            ADOConn.open();
        return true;
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, tk::qs(e.what()));
        Q_EMIT connectedToChanged(QString());
        return retryWithPassword(name, IsAccess);
    }
}

bool TDM::assignChosenServerDatabase(QString& connectedTo) {
    TSQLConnection info;
    const std::unique_ptr<TOpenSQLServerForm> dialog =
        TOpenSQLServerForm::CreateForConnection(info);
    if (tk::Dialogs::current().showModal(*dialog) != QDialog::Accepted)
        return false;
    connectedTo = info.DatabaseName + " on " + info.ServerName;
    assignServerConnection(ADOConn, info);
    return true;
}

// Every retry starts from a fresh connection string, so a wrong password
// never piles up; the chain ends with an open, an empty answer or a cancel.
bool TDM::retryWithPassword(const QString& name, bool IsAccess) {
    QString answer;
    if (!tk::Dialogs::current().prompt(
            QStringLiteral("MDB with password"),
            QStringLiteral("If this is password protected, please enter password "
                           "(leave empty to cancel):"),
            answer, 255, tk::Dialogs::Echo::Masked))
        answer.clear();
    if (answer.isEmpty())
        return false;
    return OpenDatabase(name, IsAccess, answer);
}

void TDM::ADOConnConnectComplete(vdata::EventStatus status) {
    if (status == vdata::EventStatus::OK)
        Q_EMIT connected();
}

// A data window that holds a change the database refused stays open, and
// the connection with it, so that the change can still be corrected or
// cancelled.
void TDM::ADOConnBeforeDisconnect() {
    bool keepOpen = false;
    Q_EMIT aboutToDisconnect(keepOpen);
    if (keepOpen)
        throw vdata::DataError("Not disconnected: a data window holds a change that the "
                               "database refused. Correct or cancel it, then disconnect again.");
}

void TDM::ADOConnDisconnect() {
    Q_EMIT disconnected();
}
