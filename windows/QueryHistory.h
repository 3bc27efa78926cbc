#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <stdexcept>
#include <string>

// One statement run from a freehand window.
struct HistoryEntry {
    QString database; // the connection string without its password
    QDateTime at;     // when it started
    qint64 milliseconds = 0;
    long long rows = -1; // rows returned or affected; -1 when it failed
    bool failed = false;
    QString error; // the engine's message when it failed
    QString sql;
};

// The history file cannot be opened, is damaged or cannot be written.
class HistoryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The statements run from the freehand windows and the text each window had,
// kept in one small SQLite file in the user's data folder. Every call opens
// the file and closes it again, so that several windows (and programs) share
// it and a file that goes bad later is noticed then.
class QueryHistory {
public:
    // <user's data folder>/history.sqlite; empty when there is no such folder.
    static QString fileName();
    // How a database is named in the file: its connection string with every
    // password left out.
    static QString databaseKey(const std::string& connectionString);

    // Adds `entry`. A file that cannot be written loses the entry and nothing
    // else: running goes on, and the history panel says why.
    static void record(const HistoryEntry& entry) noexcept;
    // The statements run on `database`, newest first. Throws HistoryError.
    static QList<HistoryEntry> entries(const QString& database, int limit = 2000);

    // The text kept for freehand window `slot` of `database`; null when none.
    // Throws HistoryError.
    static QString keptText(const QString& database, int slot);
    // Throws HistoryError.
    static void keepText(const QString& database, int slot, const QString& text);
};
