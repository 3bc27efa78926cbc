#pragma once

#include <QString>

#include <array>

// The kinds of server the server dialog reaches, in the order of its
// "Server type" list.
struct ServerTypeInfo {
    QString name;       // ServerLogin::ServerType, the connection string's "Server Type"
    const char* progId; // the enumerator that lists its servers
    // Its servers are found by asking the network, which takes a while, so
    // the dialog gathers them in the background.
    bool asksNetwork;
};

const std::array<ServerTypeInfo, 4>& serverTypes();

// Where `name` is in serverTypes(); an unknown or empty name is PostgreSQL's.
std::size_t serverTypeIndex(const QString& name);

// MariaDB has a provider of its own; SQL Server and data source names are
// reached through the ODBC provider.
bool isMariaDbServerType(const QString& name);
bool isOdbcServerType(const QString& name);
