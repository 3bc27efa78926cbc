#pragma once

#include "connection/ServerLogin.h"
#include "connection/ServerTypes.h"
#include "data/service/SourceEnumerator.h"
#include "ui_ServerDialog.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QStringList>

#include <memory>

// The modal dialog that picks a server, a login and a database. It fills the
// caller's ServerLogin (which it does not own) and never touches the
// shared connection: listing databases and testing use connections of its own.
class ServerDialog : public QDialog, public Ui::ServerDialog {
    Q_OBJECT
public:
    // Starts on the server type used last and lists its servers while it is
    // built; a failing listing leaves the constructor with its error.
    explicit ServerDialog(ServerLogin& connection);
    static std::unique_ptr<ServerDialog> CreateForConnection(ServerLogin& connection);

    // Where the network server lists look (the SQL Server Browser's port).
    vdata::SourceOptions SourceOptions;

    // Appends the servers of the chosen type that its enumerator reports.
    void ListSQLServers(QStringList& list);
    // Appends the databases of `serverName`; shows its own errors.
    void ListDatabases(QStringList& list, const QString& serverName);
    const ServerTypeInfo& ServerType() const;
    // The connection string without a database, for listing databases.
    QString ServerConnectionString(const QString& serverName) const;

public Q_SLOTS:
    void cboServerTypeChange();
    void cboServersClick();
    void rbTrustedConnectionClick();
    void rbLoginInfoClick();
    void TestConButtonClick();
    void btnOKClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectHandlers();
    void listServers();
    void gatherServers(const QString& host = QString());
    void serverTextEdited(const QString& text);
    void fillServerBox(const QStringList& servers);
    void leaveServerBox(QEvent* focusOut);
    void copyIntoConnection();
    bool hasServerAndDatabase() const;

    ServerLogin& connection_;
    bool leavingServerBox_ = false;
    // The servers being gathered in the background, if any.
    std::unique_ptr<QFutureWatcher<QStringList>> gathering_;
};
