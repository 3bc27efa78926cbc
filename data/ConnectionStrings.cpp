// The service headers come before any Qt header (Qt defines "slots").
#include "data/service/Connection.h"

#include "data/ConnectionStrings.h"

#include "toolkit/Text.h"

using tk::qs;
using tk::ss;

void appendToConnectionString(vdata::Connection& conn, const QString& clause) {
    conn.setConnectionString(ss(qs(conn.connectionString()) + clause));
}

void assignFileConnection(vdata::Connection& conn, const QString& file, const QString& password) {
    conn.setConnectionString(ss("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
                                ";Persist Security Info=False"));
    if (!password.isEmpty())
        appendToConnectionString(conn, ";Jet OLEDB:Database Password=" + password);
}

void assignServerConnection(vdata::Connection& conn, const TSQLConnection& info) {
    conn.setConnectionString(ss("Initial Catalog=" + info.DatabaseName +
                                ";Data Source=" + info.ServerName +
                                ";Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                                "Persist Security Info=False"));
    if (!info.UserName.isEmpty())
        appendToConnectionString(conn, ";uid=" + info.UserName + ";pwd=" + info.Password);
}
