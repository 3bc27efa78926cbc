#include "connection/ConnectionStrings.h"

#include "connection/ServerTypes.h"
#include "data/service/Connection.h"
#include "data/service/ConnectionString.h"
#include "toolkit/Text.h"

using tk::qs;
using tk::ss;

QString connectionStringValue(const QString& value) {
    return qs(vdata::connectionValue(ss(value)));
}

void appendToConnectionString(vdata::Connection& conn, const QString& clause) {
    conn.setConnectionString(ss(qs(conn.connectionString()) + clause));
}

void assignFileConnection(vdata::Connection& conn, const QString& file, const QString& password) {
    conn.setConnectionString(ss("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                connectionStringValue(file) + ";Persist Security Info=False"));
    if (!password.isEmpty())
        appendToConnectionString(conn,
                                 ";Jet OLEDB:Database Password=" + connectionStringValue(password));
}

QString serverConnectionString(const QString& serverName) {
    return "Data Source=" + connectionStringValue(serverName) +
           ";Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False";
}

QString serverLoginClauses(const QString& userName, const QString& password) {
    return ";uid=" + connectionStringValue(userName) + ";pwd=" + connectionStringValue(password);
}

QString serverConnectionString(const QString& serverType, const QString& serverName,
                               const QString& loginClauses) {
    const QString login =
        loginClauses.isEmpty() ? QStringLiteral(";Integrated Security=SSPI") : loginClauses;
    if (isMariaDbServerType(serverType))
        return "Data Source=" + connectionStringValue(serverName) + ";Provider=MariaDB" + login;
    if (!isOdbcServerType(serverType))
        return serverConnectionString(serverName) + loginClauses;
    return "Data Source=" + connectionStringValue(serverName) +
           ";Provider=ODBC;Server Type=" + connectionStringValue(serverType) + login;
}

void assignServerConnection(vdata::Connection& conn, const ServerLogin& info) {
    const QString catalog = "Initial Catalog=" + connectionStringValue(info.DatabaseName) + ";";
    if (isOdbcServerType(info.ServerType) || isMariaDbServerType(info.ServerType)) {
        const QString login =
            info.UserName.isEmpty() ? QString() : serverLoginClauses(info.UserName, info.Password);
        conn.setConnectionString(
            ss(catalog + serverConnectionString(info.ServerType, info.ServerName, login)));
        return;
    }
    conn.setConnectionString(ss(catalog + serverConnectionString(info.ServerName)));
    if (!info.UserName.isEmpty())
        appendToConnectionString(conn, serverLoginClauses(info.UserName, info.Password));
}
