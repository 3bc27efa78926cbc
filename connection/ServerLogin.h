#pragma once

#include <QString>

// What the server dialog hands back for one server open: filled by
// ServerDialog, read by ConnectionManager::OpenDatabase.
struct ServerLogin {
    QString ServerName;
    QString DatabaseName;
    QString UserName;
    QString Password;
    // "PostgreSQL", "SQL Server", "MariaDB" or "ODBC" (see ServerTypes.h).
    QString ServerType = QStringLiteral("PostgreSQL");
};
