#include "connection/ServerTypes.h"

const std::array<ServerTypeInfo, 4>& serverTypes() {
    static const std::array<ServerTypeInfo, 4> types{{
        {QStringLiteral("PostgreSQL"), "SQLOLEDB Enumerator", false},
        {QStringLiteral("SQL Server"), "SQL Server Enumerator", true},
        {QStringLiteral("MariaDB"), "MariaDB Enumerator", false},
        {QStringLiteral("ODBC"), "ODBC Enumerator", false},
    }};
    return types;
}

std::size_t serverTypeIndex(const QString& name) {
    const auto& types = serverTypes();
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (types[i].name == name)
            return i;
    }
    return 0;
}

bool isMariaDbServerType(const QString& name) {
    return serverTypeIndex(name) == 2;
}

bool isOdbcServerType(const QString& name) {
    return serverTypeIndex(name) != 0 && !isMariaDbServerType(name);
}
