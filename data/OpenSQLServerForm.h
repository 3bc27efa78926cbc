#pragma once

#include "data/SQLConnection.h"
#include "ui_OpenSQLServerForm.h"

#include <QDialog>
#include <QStringList>

#include <memory>

// The modal dialog that picks a server, a login and a database. It fills the
// caller's TSQLConnection (which it does not own) and never touches the
// shared connection: listing databases and testing use connections of its own.
class TOpenSQLServerForm : public QDialog, public Ui::TOpenSQLServerForm {
    Q_OBJECT
public:
    // Lists the servers while it is built; a failing listing leaves the
    // constructor with its error.
    explicit TOpenSQLServerForm(TSQLConnection& connection);
    static std::unique_ptr<TOpenSQLServerForm> CreateForConnection(TSQLConnection& connection);

    // Appends the servers that the server enumerator reports.
    void ListSQLServers(QStringList& list);
    // Appends the databases of `serverName`; shows its own errors.
    void ListDatabases(QStringList& list, const QString& serverName);
    // The connection string without a database, for listing databases.
    QString ServerConnectionString(const QString& serverName) const;

public Q_SLOTS:
    void cboServersClick();
    void rbTrustedConnectionClick();
    void rbLoginInfoClick();
    void TestConButtonClick();
    void btnOKClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void leaveServerBox(QEvent* focusOut);
    void copyIntoConnection();
    bool hasServerAndDatabase() const;

    TSQLConnection& FConnection;
    bool FLeavingServerBox = false;
};
