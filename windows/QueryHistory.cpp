#include "windows/QueryHistory.h"

#include "data/service/ConnectionString.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

#include <cctype>
#include <memory>

namespace {

const char* const schema = R"sql(
CREATE TABLE IF NOT EXISTS history (id INTEGER PRIMARY KEY, db TEXT NOT NULL, at TEXT NOT NULL,
    ms INTEGER NOT NULL, row_count INTEGER NOT NULL, failed INTEGER NOT NULL, error TEXT, sql TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS history_db ON history (db, id);
CREATE TABLE IF NOT EXISTS kept_text (db TEXT NOT NULL, slot INTEGER NOT NULL, text TEXT NOT NULL,
    PRIMARY KEY (db, slot));
)sql";

constexpr long long keptEntries = 10000;

QString problem(const QString& what) {
    return QStringLiteral("The query history file %1 cannot be used: %2")
        .arg(QDir::toNativeSeparators(QueryHistory::fileName()), what);
}

// The history file, opened (and made when missing) for one call.
class HistoryFile {
public:
    HistoryFile() {
        const QString name = QueryHistory::fileName();
        if (name.isEmpty()) {
            throw HistoryError("The query history cannot be kept: the system names no data "
                               "folder for this user.");
        }
        if (!QDir().mkpath(QFileInfo(name).absolutePath())) {
            throw HistoryError(problem(QStringLiteral("its folder cannot be made.")).toStdString());
        }
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(name.toUtf8().constData(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db_.reset(db);
        check(rc);
        // Another window or program may be writing at the same moment.
        sqlite3_busy_timeout(db_.get(), 2000);
        check(sqlite3_exec(db_.get(), schema, nullptr, nullptr, nullptr));
    }

    // A statement with its parameters bound in order (text, or integers).
    class Statement {
    public:
        Statement(HistoryFile& file, const char* sql) : file_(file) {
            sqlite3_stmt* stmt = nullptr;
            file.check(sqlite3_prepare_v2(file.db_.get(), sql, -1, &stmt, nullptr));
            stmt_.reset(stmt);
        }
        Statement& bind(const QString& text) {
            const QByteArray bytes = text.toUtf8();
            file_.check(sqlite3_bind_text(stmt_.get(), ++index_, bytes.constData(),
                                          int(bytes.size()), SQLITE_TRANSIENT));
            return *this;
        }
        Statement& bind(long long value) {
            file_.check(sqlite3_bind_int64(stmt_.get(), ++index_, value));
            return *this;
        }
        // Steps once; true while a row is there.
        bool step() {
            const int rc = sqlite3_step(stmt_.get());
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
                file_.check(rc);
            }
            return rc == SQLITE_ROW;
        }
        QString text(int column) const {
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column)),
                sqlite3_column_bytes(stmt_.get(), column));
        }
        long long number(int column) const { return sqlite3_column_int64(stmt_.get(), column); }

    private:
        struct Finalize {
            void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
        };
        HistoryFile& file_;
        std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
        int index_ = 0;
    };

private:
    void check(int rc) const {
        if (rc != SQLITE_OK) {
            const QString why =
                QString::fromUtf8(db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(rc));
            throw HistoryError(problem(why + QLatin1Char('.')).toStdString());
        }
    }

    struct Close {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Close> db_;
};

bool isPasswordKey(std::string key) {
    for (char& c : key) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return key == "pwd" || key.find("password") != std::string::npos;
}

} // namespace

// Empty when the system names no data folder for the user.
QString QueryHistory::fileName() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/history.sqlite");
}

QString QueryHistory::databaseKey(const std::string& connectionString) {
    const vdata::ConnectionString parsed(connectionString);
    std::string key;
    for (const auto& [name, value] : parsed.pairs()) {
        if (!isPasswordKey(name)) {
            key += name + '=' + vdata::connectionValue(value) + ';';
        }
    }
    return QString::fromStdString(key);
}

void QueryHistory::record(const HistoryEntry& entry) noexcept {
    try {
        HistoryFile file;
        HistoryFile::Statement(file,
                               "INSERT INTO history (db, at, ms, row_count, failed, error, sql) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?)")
            .bind(entry.database)
            .bind(entry.at.toString(Qt::ISODateWithMs))
            .bind(entry.milliseconds)
            .bind(entry.rows)
            .bind(entry.failed ? 1LL : 0LL)
            .bind(entry.error)
            .bind(entry.sql)
            .step();
        // The file keeps the newest statements only, so that it stays small.
        HistoryFile::Statement(file, "DELETE FROM history WHERE id <= last_insert_rowid() - ?")
            .bind(keptEntries)
            .step();
    } catch (const std::exception&) {
        // Only the entry is lost; the panel reports the file's problem.
    }
}

QList<HistoryEntry> QueryHistory::entries(const QString& database, int limit) {
    HistoryFile file;
    HistoryFile::Statement list(file, "SELECT at, ms, row_count, failed, error, sql FROM history "
                                      "WHERE db = ? ORDER BY id DESC LIMIT ?");
    list.bind(database).bind(limit);
    QList<HistoryEntry> result;
    while (list.step()) {
        result.append({database, QDateTime::fromString(list.text(0), Qt::ISODateWithMs),
                       list.number(1), list.number(2), list.number(3) != 0, list.text(4),
                       list.text(5)});
    }
    return result;
}

QString QueryHistory::keptText(const QString& database, int slot) {
    HistoryFile file;
    HistoryFile::Statement kept(file, "SELECT text FROM kept_text WHERE db = ? AND slot = ?");
    kept.bind(database).bind(slot);
    return kept.step() ? kept.text(0) : QString();
}

void QueryHistory::keepText(const QString& database, int slot, const QString& text) {
    HistoryFile file;
    HistoryFile::Statement(file,
                           "INSERT OR REPLACE INTO kept_text (db, slot, text) VALUES (?, ?, ?)")
        .bind(database)
        .bind(slot)
        .bind(text)
        .step();
}
