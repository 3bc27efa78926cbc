#include "tests/support/MariaDbTestEnv.h"

#include <QProcess>
#include <QStringList>

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace mariadbtest {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

} // namespace

const MariaDbServer* testServer() {
    static const MariaDbServer server{env("VELDMARK_MARIADB_SOCKET"), env("VELDMARK_MARIADB_PORT"),
                                      env("VELDMARK_MARIADB_DB"), env("VELDMARK_MARIADB_USER"),
                                      env("VELDMARK_MARIADB_PASSWORD")};
    return server.socket.empty() ? nullptr : &server;
}

std::vector<std::vector<std::string>> adminQuery(const std::string& database,
                                                 const std::string& sql) {
    QProcess p;
    QStringList args{"--no-defaults", "--batch", "--skip-column-names", "-S",
                     QString::fromStdString(testServer()->socket)};
    if (!database.empty()) {
        args << "-D" << QString::fromStdString(database);
    }
    p.start("mariadb", args);
    p.write("SET sql_mode = CONCAT(@@sql_mode, ',ANSI_QUOTES');\n");
    p.write(sql.c_str());
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        throw std::runtime_error("mariadb: " + p.readAllStandardError().toStdString());
    }
    std::vector<std::vector<std::string>> rows;
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        std::vector<std::string>& row = rows.emplace_back();
        for (const QString& cell : line.split('\t')) {
            row.push_back(cell.toStdString());
        }
    }
    return rows;
}

ScratchDatabase::ScratchDatabase(const std::string& tag)
    : name_("vt_" + tag + "_" + std::to_string(::getpid())) {
    adminQuery({}, "DROP DATABASE IF EXISTS " + name_ + "; CREATE DATABASE " + name_ +
                       " CHARACTER SET utf8mb4");
}

ScratchDatabase::~ScratchDatabase() {
    try {
        adminQuery({}, "DROP DATABASE IF EXISTS " + name_);
    } catch (const std::exception&) {
        // The server is removed after the run anyway.
    }
}

std::string ScratchDatabase::connectionString() const {
    return "Provider=MariaDB;Data Source=" + testServer()->socket + ";Initial Catalog=" + name_ +
           ";Integrated Security=SSPI";
}

std::string ScratchDatabase::odbcConnectionString() const {
    return "Provider=ODBC;Server Type=MariaDB;Data Source=" + testServer()->socket +
           ";Initial Catalog=" + name_ + ";Integrated Security=SSPI";
}

} // namespace mariadbtest
