#include "tests/support/EngineDb.h"

#include "tests/support/PgTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/service/Command.h"

#include <QtTest>

using namespace vdata;

namespace enginetest {

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string forEngine(const std::string& script, bool postgres) {
    return replaced(
        replaced(script, "{autokey}", postgres ? "SERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY"),
        "{blob}", postgres ? "BYTEA" : "BLOB");
}

} // namespace

void engines(bool withCipher) {
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    if (withCipher) {
        QTest::newRow("sqlcipher") << QStringLiteral("sqlcipher");
    }
    if (pgtest::testServer()) {
        QTest::newRow("postgres") << QStringLiteral("postgres");
    }
}

EngineDb::EngineDb(const QString& engine, const std::string& script) {
    const bool postgres = engine == QLatin1String("postgres");
    if (postgres) {
        pg_ = std::make_unique<pgtest::ScratchDatabase>("engine");
        pg_->exec(forEngine(script, true));
    } else {
        path_ = dir_.filePath("engine.db");
        if (engine == QLatin1String("sqlcipher")) {
            password_ = "s3cret";
            testdb::runEncrypted(path_, password_, forEngine(script, false));
        } else {
            testdb::run(path_, forEngine(script, false));
        }
    }
    conn_.setConnectionString(connectionString());
    conn_.open();
}

EngineDb::~EngineDb() = default;

std::string EngineDb::connectionString() const {
    return pg_ ? pg_->connectionString() : testdb::jetString(path_, password_);
}

std::unique_ptr<Query> EngineDb::open(const std::string& sql) {
    auto q = std::make_unique<Query>(&conn_);
    q->setSQL(sql);
    q->open();
    return q;
}

std::string EngineDb::readBack(const std::string& sql) const {
    const auto rows = cells(sql);
    return rows.empty() ? "<no row>" : rows.front().front();
}

std::string EngineDb::readRows(const std::string& sql) const {
    std::string text;
    for (const auto& row : cells(sql)) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            text += (c ? "|" : "") + row[c];
        }
        text += ";";
    }
    return text;
}

std::vector<std::vector<std::string>> EngineDb::cells(const std::string& sql) const {
    Connection other;
    other.setConnectionString(connectionString());
    other.open();
    Query q(&other);
    q.setSQL(sql);
    q.open();
    std::vector<std::vector<std::string>> rows(static_cast<std::size_t>(q.recordCount()));
    for (int r = 0; r < q.recordCount(); ++r) {
        for (int c = 0; c < q.fieldCount(); ++c) {
            rows[static_cast<std::size_t>(r)].push_back(q.cellText(r, c));
        }
    }
    return rows;
}

void EngineDb::otherRuns(const std::string& sql) const {
    Connection other;
    other.setConnectionString(connectionString());
    other.open();
    Command c(&other);
    c.setCommandText(sql);
    c.execute();
}

} // namespace enginetest
