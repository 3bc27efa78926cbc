#pragma once

#include "data/service/Connection.h"
#include "data/service/Query.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace pgtest {
class ScratchDatabase;
}
namespace mariadbtest {
class ScratchDatabase;
}

// One database on any engine the program writes to, the program's
// connection to it, and a second session that reads back and changes
// things behind its back.
namespace enginetest {

// Adds the column "engine" and a row per engine: "sqlite", "sqlcipher"
// (unless left out: its SQLite core is older and lacks some statements),
// when the test server runs, "postgres", and the ODBC engine's rows:
// "odbc-mariadb" (when the MariaDB test server runs), "odbc-postgres" (a
// data source with the PostgreSQL driver, when the PostgreSQL test server
// runs) and "odbc-sqlite" (one with SQLite's driver).
void engines(bool withCipher = true);

class EngineDb {
public:
    // Runs `script` on a new database. In the script {autokey} stands for an
    // integer key the engine numbers itself and {blob} for a binary type;
    // "x" names things on every engine.
    EngineDb(const QString& engine, const std::string& script);
    ~EngineDb();

    bool isPostgres() const { return pg_ != nullptr; }
    pgtest::ScratchDatabase* postgres() const { return pg_.get(); }
    vdata::Connection& connection() { return conn_; }
    std::string connectionString() const;

    std::unique_ptr<vdata::Query> open(const std::string& sql);
    // The first cell of the first row as a second connection reads it.
    std::string readBack(const std::string& sql) const;
    // Every row, cells joined by '|', rows by ';'.
    std::string readRows(const std::string& sql) const;
    // Runs statements on a second connection.
    void otherRuns(const std::string& sql) const;

private:
    std::vector<std::vector<std::string>> cells(const std::string& sql) const;

    QTemporaryDir dir_;
    QString path_;
    std::string password_;
    std::string connectionString_;
    std::unique_ptr<pgtest::ScratchDatabase> pg_;
    std::unique_ptr<mariadbtest::ScratchDatabase> maria_;
    vdata::Connection conn_;
};

} // namespace enginetest
