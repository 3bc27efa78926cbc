#pragma once

#include "connection/ServerLogin.h"

#include <QString>

namespace vdata {
class Connection;
}

// The connection strings of the providers: database files, PostgreSQL
// servers (SQLOLEDB.1) and the servers reached through ODBC (Provider=ODBC
// with the server's type). Values go in verbatim, or
// in double quotes when they hold ';', '=' or a quote or start or end with a
// blank (see connectionStringValue). An
// optional clause is added the way the connection manager always did it:
// assign the base string, read it back from the connection, append, assign.

// A value as written into a connection string.
QString connectionStringValue(const QString& value);

// A database file, with the database password clause when `password` is
// not empty.
void assignFileConnection(vdata::Connection& conn, const QString& file, const QString& password);

// The string for the server `serverName` with the system's own login, before
// any database or login clause.
QString serverConnectionString(const QString& serverName);

// The clauses of a login by name and password (";uid=...;pwd=...").
QString serverLoginClauses(const QString& userName, const QString& password);

// The string for the server `serverName` of `serverType` (see ServerTypes.h)
// before any database clause: with `loginClauses` empty the system's own
// login, else those clauses. PostgreSQL keeps its integrated security clause
// beside a login by name; an ODBC server has the one or the other.
QString serverConnectionString(const QString& serverType, const QString& serverName,
                               const QString& loginClauses);

// A database on a server; the login clauses follow when a user name is given.
void assignServerConnection(vdata::Connection& conn, const ServerLogin& info);

// Appends `clause` to what the connection currently carries.
void appendToConnectionString(vdata::Connection& conn, const QString& clause);
