#include "tests/support/EngineDb.h"

#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/service/Command.h"

#include <QFile>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

using namespace vdata;

namespace enginetest {

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

struct Spelling {
    const char* autokey;
    const char* blob;
};

Spelling spellingFor(const QString& engine) {
    if (engine.endsWith(QLatin1String("postgres"))) {
        return {"SERIAL PRIMARY KEY", "BYTEA"};
    }
    if (engine.endsWith(QLatin1String("mariadb"))) {
        return {"INT AUTO_INCREMENT PRIMARY KEY", "LONGBLOB"};
    }
    return {"INTEGER PRIMARY KEY", "BLOB"};
}

std::string forEngine(const std::string& script, const QString& engine) {
    const Spelling spelling = spellingFor(engine);
    return replaced(replaced(script, "{autokey}", spelling.autokey), "{blob}", spelling.blob);
}

std::string osUser() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw != nullptr ? pw->pw_name : "";
}

// The test data sources, in a private odbc.ini that unixODBC reads as the
// user's (ODBCINI) for the whole test program: "veldmark_pg" on this
// program's scratch database of the PostgreSQL test server and
// "veldmark_sqlite" on one SQLite file.
const QString& odbcSqliteFile() {
    static QTemporaryDir dir;
    static const QString file = [] {
        const QString ini = dir.filePath("odbc.ini");
        const QString db = dir.filePath("odbc.db");
        std::string text = "[veldmark_sqlite]\nDriver=SQLite3\nDatabase=" + db.toStdString() + "\n";
        if (const pgtest::PgServer* pg = pgtest::testServer()) {
            text += "[veldmark_pg]\nDriver=PostgreSQL Unicode\nServername=" + pg->socketDir +
                    "\nPort=" + pg->port + "\nDatabase=vt_odbc_" + std::to_string(::getpid()) +
                    "\nUsername=" + osUser() + "\n";
        }
        QFile out(ini);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(text.data(), static_cast<qint64>(text.size())) < 0) {
            qFatal("Cannot write %s", qPrintable(ini));
        }
        qputenv("ODBCINI", ini.toLocal8Bit());
        return db;
    }();
    return file;
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
    if (mariadbtest::testServer()) {
        QTest::newRow("mariadb") << QStringLiteral("mariadb");
        QTest::newRow("odbc-mariadb") << QStringLiteral("odbc-mariadb");
    }
    if (pgtest::testServer()) {
        QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres");
    }
    QTest::newRow("odbc-sqlite") << QStringLiteral("odbc-sqlite");
}

EngineDb::EngineDb(const QString& engine, const std::string& script) {
    const std::string sql = forEngine(script, engine);
    if (engine == QLatin1String("postgres") || engine == QLatin1String("odbc-postgres")) {
        const bool odbc = engine.startsWith(QLatin1String("odbc"));
        pg_ = std::make_unique<pgtest::ScratchDatabase>(odbc ? "odbc" : "engine");
        pg_->exec(sql);
        odbcSqliteFile(); // writes the data sources
        connectionString_ = odbc ? "Provider=ODBC;Server Type=ODBC;Data Source=veldmark_pg"
                                 : pg_->connectionString();
    } else if (engine.endsWith(QLatin1String("mariadb"))) {
        maria_ = std::make_unique<mariadbtest::ScratchDatabase>("engine");
        maria_->exec(sql);
        connectionString_ = engine.startsWith(QLatin1String("odbc"))
                                ? maria_->odbcConnectionString()
                                : maria_->connectionString();
    } else if (engine == QLatin1String("odbc-sqlite")) {
        QFile::remove(odbcSqliteFile());
        testdb::run(odbcSqliteFile(), sql);
        connectionString_ = "Provider=ODBC;Server Type=ODBC;Data Source=veldmark_sqlite";
    } else {
        path_ = dir_.filePath("engine.db");
        if (engine == QLatin1String("sqlcipher")) {
            password_ = "s3cret";
            testdb::runEncrypted(path_, password_, sql);
        } else {
            testdb::run(path_, sql);
        }
        connectionString_ = testdb::jetString(path_, password_);
    }
    conn_.setConnectionString(connectionString_);
    conn_.open();
}

EngineDb::~EngineDb() = default;

std::string EngineDb::connectionString() const {
    return connectionString_;
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
