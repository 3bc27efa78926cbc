#pragma once

// One database on any of the engines, a SQLite file or a scratch database on
// the PostgreSQL or the MariaDB test server, with the program connected to it.

#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/WindowTestEnv.h"

namespace enginetest {

struct Session {
    wintest::Env env{""};
    std::unique_ptr<pgtest::ScratchDatabase> pg;
    std::unique_ptr<mariadbtest::ScratchDatabase> mariadb;

    Session(const QString& engine, const std::string& script) {
        if (engine == QLatin1String("sqlite")) {
            testdb::run(env.path, script);
            env.dialogs.clear();
            return;
        }
        std::string connectionString;
        if (engine == QLatin1String("mariadb")) {
            mariadb = std::make_unique<mariadbtest::ScratchDatabase>("typing");
            mariadb->exec(script);
            connectionString = mariadb->connectionString();
        } else {
            pg = std::make_unique<pgtest::ScratchDatabase>("typing");
            pg->exec(script);
            connectionString = pg->connectionString();
        }
        env.dm.connection.close();
        env.dm.connection.setConnectionString(connectionString);
        env.dm.connection.open();
        env.dialogs.clear();
    }

    std::string readBack(const std::string& sql) const {
        if (!pg && !mariadb) {
            return env.readBack(sql);
        }
        const auto rows = pg ? pg->query(sql) : mariadbtest::adminQuery(mariadb->name(), sql);
        return rows.empty() ? std::string("<no row>") : rows.front().front();
    }
};

// The engine column of a test's data: SQLite always, PostgreSQL when its
// test server is there, and MariaDB through ODBC when asked for and its
// test server is there.
inline void engines(bool withMariaDb = false) {
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    if (pgtest::testServer()) {
        QTest::newRow("postgres") << QStringLiteral("postgres");
    }
    if (withMariaDb && mariadbtest::testServer()) {
        QTest::newRow("mariadb") << QStringLiteral("mariadb");
    }
}

} // namespace enginetest
