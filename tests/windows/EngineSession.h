#pragma once

// One database on either engine, a SQLite file or a scratch database on the
// PostgreSQL test server, with the program connected to it.

#include "tests/support/PgTestEnv.h"
#include "tests/windows/WindowTestEnv.h"

namespace enginetest {

struct Session {
    wintest::Env env{""};
    std::unique_ptr<pgtest::ScratchDatabase> pg;

    Session(const QString& engine, const std::string& script) {
        if (engine == QLatin1String("sqlite")) {
            testdb::run(env.path, script);
        } else {
            pg = std::make_unique<pgtest::ScratchDatabase>("typing");
            pg->exec(script);
            env.dm.ADOConn.close();
            env.dm.ADOConn.setConnectionString(pg->connectionString());
            env.dm.ADOConn.open();
        }
        env.dialogs.clear();
    }

    std::string readBack(const std::string& sql) const {
        if (!pg) {
            return env.readBack(sql);
        }
        const auto rows = pg->query(sql);
        return rows.empty() ? std::string("<no row>") : rows.front().front();
    }
};

// The engine column of a test's data: SQLite always, PostgreSQL when its
// test server is there.
inline void engines() {
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    if (pgtest::testServer()) {
        QTest::newRow("postgres") << QStringLiteral("postgres");
    }
}

} // namespace enginetest
