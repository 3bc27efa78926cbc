#pragma once

#include "data/service/Connection.h"

#include <QObject>
#include <QString>

// The connection manager: owns the one connection to the user's database,
// opens it for a database file or a server database, and announces what the
// connection does through its signals, so that the window showing it (the
// main window) can keep in step without the manager knowing that window.
class ConnectionManager : public QObject {
    Q_OBJECT
public:
    explicit ConnectionManager(QObject* parent = nullptr);
    ~ConnectionManager() override;

    // The shared connection; every query and command of the data windows uses it.
    vdata::Connection connection;

    // Opens `name` as a database file (isFile), or the server database chosen
    // in the server dialog (name is then not used). A failed open offers the
    // database password prompt and tries again. True when the connection is open.
    bool OpenDatabase(const QString& name, bool isFile, const QString& password);

    void connectComplete(vdata::EventStatus status);
    void beforeDisconnect();
    void afterDisconnect();
    void shutDown();

Q_SIGNALS:
    // What is being connected to: the database file, or database + " on " +
    // server; set before the open and emptied when the open failed.
    void connectedToChanged(const QString& connectedTo);
    // The connection opened.
    void connected();
    // Before the connection closes; a receiver that sets keepOpen keeps it
    // open, and the close fails with the reason.
    void aboutToDisconnect(bool& keepOpen);
    // The connection closed.
    void disconnected();

private:
    // Runs the server dialog; false when it was closed without OK.
    bool assignChosenServerDatabase(QString& connectedTo);
    bool retryWithPassword(const QString& name, bool isFile);
};

extern ConnectionManager* connectionManager;
