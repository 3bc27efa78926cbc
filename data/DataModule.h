#pragma once

#include "data/service/Connection.h"

#include <QObject>
#include <QString>

// The connection manager: owns the one connection to the user's database,
// opens it for a database file or a server database, and keeps the main
// window in step with it through the connection's events.
class TDM : public QObject {
    Q_OBJECT
public:
    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    // The shared connection; every query and command of the data windows uses it.
    vdata::Connection ADOConn;

    // Opens `name` as a database file (IsAccess), or the server database chosen
    // in the server dialog (name is then not used). A failed open offers the
    // database password prompt and tries again. True when the connection is open.
    bool OpenDatabase(const QString& name, bool IsAccess, const QString& password);

    void ADOConnConnectComplete(vdata::EventStatus status);
    void ADOConnBeforeDisconnect();
    void ADOConnDisconnect();
    void DataModuleDestroy();

private:
    // Runs the server dialog; false when it was closed without OK.
    bool assignChosenServerDatabase(QString& connectedTo);
    bool retryWithPassword(const QString& name, bool IsAccess);
    static void setConnectedTo(const QString& text);
};

extern TDM* DM;
