#pragma once

#include <QString>

// What the server dialog hands back for one server open: filled by
// TOpenSQLServerForm, read by TDM::OpenDatabase.
struct TSQLConnection {
    QString ServerName;
    QString DatabaseName;
    QString UserName;
    QString Password;
    // "PostgreSQL", "SQL Server", "MariaDB" or "ODBC" (see ServerTypes.h).
    QString ServerType = QStringLiteral("PostgreSQL");
};
