#include "tests/support/TestDb.h"

#include "data/service/Errors.h"

#include "data/providers/SqliteApi.h"

#include <stdexcept>

namespace testdb {
namespace {

void exec(const vdata::SqliteApi& api, const QString& path, const std::string& password,
          const std::string& script) {
    sqlite3* db = nullptr;
    const QByteArray file = path.toUtf8();
    if (api.open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        throw std::runtime_error("cannot create " + file.toStdString());
    }
    if (!password.empty()) {
        api.key(db, password.data(), static_cast<int>(password.size()));
    }
    std::string_view rest = script;
    while (!rest.empty()) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (api.prepare_v2(db, rest.data(), static_cast<int>(rest.size()), &stmt, &tail) !=
            SQLITE_OK) {
            const std::string message = api.errmsg(db);
            api.close_v2(db);
            throw std::runtime_error("test script failed: " + message);
        }
        rest = rest.substr(static_cast<std::size_t>(tail - rest.data()));
        if (!stmt) {
            continue;
        }
        int rc;
        while ((rc = api.step(stmt)) == SQLITE_ROW) {
        }
        api.finalize(stmt);
        if (rc != SQLITE_DONE) {
            const std::string message = api.errmsg(db);
            api.close_v2(db);
            throw std::runtime_error("test script failed: " + message);
        }
    }
    api.close_v2(db);
}

} // namespace

void run(const QString& path, const std::string& script) {
    exec(vdata::systemSqlite(), path, {}, script);
}

void runEncrypted(const QString& path, const std::string& password, const std::string& script) {
    exec(vdata::sqlCipher(), path, password, script);
}

std::string jetString(const QString& path, const std::string& password) {
    std::string s = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.toStdString() +
                    ";Persist Security Info=False";
    if (!password.empty()) {
        s += ";Jet OLEDB:Database Password=" + password;
    }
    return s;
}

std::optional<vdata::DataError> failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const vdata::DataError& e) {
        return e;
    }
    return std::nullopt;
}

std::string errorOf(const std::function<void()>& f) {
    const std::optional<vdata::DataError> failure = failureOf(f);
    return failure ? failure->what() : std::string();
}

} // namespace testdb
