// Damaged database files: a few hundred copies of one SQLite file, each with
// random bytes overwritten (or cut short), are opened, browsed and edited
// through the program's own menus, tree and grid. Each ends in an error
// message or a working window, never in a crash or a hang. A sanitizer build
// turns any bad memory access on the way into a failure.
//
// The same for the three real Access files: each damaged copy opens and its
// tables read, or it is refused with a message, within seconds; the one
// byte in nwind.mdb that once sent the Access reader into an endless loop
// comes first.
//
// VELDMARK_CORRUPT_FILES (default 300) and VELDMARK_CORRUPT_SEED (default 1)
// choose the SQLite files, VELDMARK_ACCESS_MUTANTS (default 25 per Access
// file; 300 for a thorough run) the Access ones; a failure names the seed
// and number to repeat it.

#include "tests/robustness/RobustnessEnv.h"
#include "tests/support/AccessTestData.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

using gridtest::Driver;

namespace {

// Small pages give many pages, so damage hits b-tree and index pages as
// often as the header and the schema.
const char* const sourceScript = R"sql(
PRAGMA page_size = 512;
CREATE TABLE Customers (ID INTEGER PRIMARY KEY, Name VARCHAR(40), Country VARCHAR(15),
                        Joined DATE, Balance DECIMAL(10,2), Photo BLOB);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)
INSERT INTO Customers SELECT i, 'Customer ' || i, CASE i % 3 WHEN 0 THEN 'Germany'
    WHEN 1 THEN 'France' ELSE 'Spain' END, '2020-01-' || printf('%02d', i % 28 + 1),
    i * 1.25, randomblob(i % 40) FROM n;
CREATE INDEX CustomersByCountry ON Customers (Country, Name);
CREATE TABLE Notes (Code VARCHAR(5) PRIMARY KEY, Body TEXT) WITHOUT ROWID;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
INSERT INTO Notes SELECT 'N' || i, printf('%.*c', i * 20, 'x') FROM n;
CREATE VIEW German AS SELECT * FROM Customers WHERE Country = 'Germany';
)sql";

int envNumber(const char* name, int fallback) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok ? n : fallback;
}

// Overwrites 1 to 24 bytes at random places; every tenth file is also cut
// short, every seventh has its first page hit.
QByteArray damaged(QByteArray bytes, QRandomGenerator& random, int number) {
    const int hits = 1 + int(random.bounded(24));
    for (int i = 0; i < hits; ++i) {
        const int size = number % 7 == 0 ? 512 : int(bytes.size());
        bytes[int(random.bounded(size))] = char(random.bounded(256));
    }
    if (number % 10 == 0) {
        bytes.truncate(int(random.bounded(int(bytes.size()))));
    }
    return bytes;
}

// Aborts the program, naming the file, when one file takes longer than the
// limit: a hang is a failure, not a stuck test run.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void startFile(int number) {
        std::lock_guard lock(mutex_);
        number_ = number;
        started_ = std::chrono::steady_clock::now();
    }

private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
            if (number_ >= 0 && std::chrono::steady_clock::now() - started_ > limit_) {
                std::fprintf(stderr, "HANG: damaged file %d took longer than %lld s\n", number_,
                             static_cast<long long>(limit_.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }

    std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    int number_ = -1;
    std::chrono::steady_clock::time_point started_;
    std::thread thread_;
};

// Browses one table as a person does: last row, first row, a typed change
// posted with Return, then Escape twice to drop whatever was refused.
void browseAndEdit(DataWindow* w) {
    if (!w || !w->query().active() || w->query().recordCount() == 0) {
        return;
    }
    Driver d(w->master().Grid);
    d.key(Qt::Key_End, Qt::ControlModifier);
    d.key(Qt::Key_Home, Qt::ControlModifier);
    d.typeOver(0, 1, QStringLiteral("Edited"));
    d.key(Qt::Key_Return);
    d.key(Qt::Key_Escape);
    d.key(Qt::Key_Escape);
}

using accessdata::readAll;
using accessdata::writeAll;

// Overwrites 1 to 16 bytes; every other file is hit in its first 32 KiB,
// where the header, the catalogue and the first table definitions stand.
QByteArray damagedAccess(QByteArray bytes, QRandomGenerator& random, int number) {
    const int hits = 1 + int(random.bounded(16));
    const int area = number % 2 == 0 ? std::min(int(bytes.size()), 32 * 1024) : int(bytes.size());
    for (int i = 0; i < hits; ++i) {
        bytes[int(random.bounded(area))] = char(random.bounded(256));
    }
    return bytes;
}

} // namespace

class TestCorruptFiles : public QObject {
    Q_OBJECT
private slots:
    void init() { wintest::failOnConnectionWarnings(); }

    void damagedFilesNeverCrashOrHang() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source.db"));
        testdb::run(source, sourceScript);
        const QByteArray original = readAll(source);
        QVERIFY(original.size() > 20 * 512);

        const int files = envNumber("VELDMARK_CORRUPT_FILES", 300);
        const int seed = envNumber("VELDMARK_CORRUPT_SEED", 1);
        QRandomGenerator random{quint32(seed)};
        robust::Program program;
        Watchdog watchdog(std::chrono::seconds(60));
        int opened = 0;
        int edited = 0;
        for (int number = 0; number < files; ++number) {
            watchdog.startFile(number);
            const QString path = dir.filePath(QStringLiteral("damaged-%1.db").arg(number));
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(damaged(original, random, number));
            out.close();

            program.open(path);
            if (!program.dm.connection.connected()) {
                continue;
            }
            ++opened;
            for (QTreeWidgetItem* table : program.tables()) {
                DataWindow* w = program.click(table);
                edited += w && w->query().active() ? 1 : 0;
                browseAndEdit(w);
            }
            program.disconnect();
            const QString where = QStringLiteral("seed %1, file %2").arg(seed).arg(number);
            QVERIFY2(!program.dm.connection.connected(), qPrintable(where));
            QVERIFY2(program.windowCount() == 0, qPrintable(where));
            QFile::remove(path);
        }
        qInfo("%d damaged files: %d opened, %d table windows browsed", files, opened, edited);
        // Most damage leaves the header readable: the run really browses.
        QVERIFY(opened > files / 4);
        QVERIFY(edited > 0);
    }

    void damagedAccessFilesAreReadOrRefusedInSeconds() {
        SKIP_WITHOUT_ACCESS_FILES();
        QTemporaryDir dir;
        const int perFile = envNumber("VELDMARK_ACCESS_MUTANTS", 25);
        const int seed = envNumber("VELDMARK_CORRUPT_SEED", 1);
        QRandomGenerator random{quint32(seed)};
        robust::Program program;
        Watchdog watchdog(std::chrono::seconds(60));
        int files = 0;
        int opened = 0;
        int tablesRead = 0;
        int refusals = 0;
        for (const char* name : {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"}) {
            const QByteArray original = readAll(AccessTestData::file(QString::fromLatin1(name)));
            QVERIFY(!original.isEmpty());
            for (int number = 0; number < perFile; ++number, ++files) {
                watchdog.startFile(files);
                QByteArray bytes = damagedAccess(original, random, number);
                if (number == 0 && QByteArray(name) == "nwind.mdb") {
                    bytes = original;
                    bytes[1485468] = '\0';
                }
                const QString path =
                    dir.filePath(QStringLiteral("damaged-%1-%2").arg(files).arg(name));
                writeAll(path, bytes);
                const QString where =
                    QStringLiteral("seed %1, %2 number %3").arg(seed).arg(name).arg(number);
                QElapsedTimer took;
                took.start();
                program.open(path);
                opened += program.dm.connection.connected() ? 1 : 0;
                for (QTreeWidgetItem* table : program.tables()) {
                    DataWindow* w = program.click(table);
                    tablesRead += w && w->query().active() ? 1 : 0;
                    program.closeActive();
                }
                program.disconnect();
                QVERIFY2(took.elapsed() < 30000, qPrintable(where));
                if (number == 0 && QByteArray(name) == "nwind.mdb") {
                    QVERIFY2(program.dialogs.count(QStringLiteral("error")) > 0,
                             "the byte that once hung the reader was not refused");
                }
                for (const ScriptedDialogs::Shown& shown : program.dialogs.shown) {
                    QVERIFY2(shown.kind != QLatin1String("error") ||
                                 !shown.text.trimmed().isEmpty(),
                             qPrintable(where));
                    refusals += shown.kind == QLatin1String("error") ? 1 : 0;
                }
                program.dialogs.clear();
                QVERIFY2(!program.dm.connection.connected() && program.windowCount() == 0,
                         qPrintable(where));
                QFile::remove(path);
            }
        }
        qInfo("%d damaged Access files: %d opened, %d tables read, %d refusals with a message",
              files, opened, tablesRead, refusals);
        QVERIFY(opened > 0 && tablesRead > 0 && refusals > 0);
    }
};

QTEST_MAIN(TestCorruptFiles)
#include "tst_corruptfiles.moc"
