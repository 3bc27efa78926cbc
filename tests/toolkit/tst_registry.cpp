#include "toolkit/Registry.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>

using tk::Registry;
using tk::RegistryError;

namespace {

const QString AtomicKey = QStringLiteral("\\software\\QRV\\atomic");
constexpr int AtomicValues = 40;

// Child mode --writer: rewrites AtomicKey over and over, each round with a
// new generation number in every value, until it is killed.
int runWriter() {
    for (int generation = 1;; ++generation) {
        Registry registry;
        registry.openKey(AtomicKey, true);
        for (int i = 1; i <= AtomicValues; ++i) {
            registry.writeString(QStringLiteral("MRU%1").arg(i),
                                 QStringLiteral("gen %1 ").arg(generation) +
                                     QString(3000, QLatin1Char('x')));
        }
        registry.closeKey();
        std::printf("%d\n", generation);
        std::fflush(stdout);
    }
}

// Child mode --check: prints the generation found in AtomicKey, "none" when
// nothing was saved yet, or "broken" when the values disagree.
int runCheck() {
    Registry registry;
    if (!registry.openKey(AtomicKey, false)) {
        std::printf("none\n");
        return 0;
    }
    QString first;
    for (int i = 1; i <= AtomicValues; ++i) {
        const QString value = registry.readString(QStringLiteral("MRU%1").arg(i));
        if (value.isEmpty() || (i > 1 && value != first)) {
            std::printf("broken\n");
            return 0;
        }
        first = value;
    }
    std::printf("%s\n", qPrintable(first.section(QLatin1Char(' '), 1, 1)));
    return 0;
}

// Child mode --read <key> <name>: what a fresh process reads from the file.
int runRead(const QString& key, const QString& name) {
    Registry registry;
    if (!registry.openKey(key, false)) {
        std::printf("no key");
        return 0;
    }
    std::printf("%s", registry.readString(name).toUtf8().constData());
    return 0;
}

QString readInFreshProcess(const QString& key, const QString& name) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--read"), key, name});
    child.waitForFinished();
    return QString::fromUtf8(child.readAllStandardOutput());
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

    QTemporaryDir config_;

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

    void openingWithAndWithoutCreating() {
        Registry registry;
        QVERIFY(!registry.openKey(QStringLiteral("\\software\\QRV\\missing\\mru"), false));
        QVERIFY(registry.openKey(QStringLiteral("\\software\\QRV\\made\\mru"), true));
        registry.writeString(QStringLiteral("MRU1"), QStringLiteral("one"));
        registry.closeKey();
        // The hive is one file in the test's own configuration directory.
        QCOMPARE(Registry::hiveFileName(), config_.path() + QStringLiteral("/QRV/registry.ini"));
        QVERIFY(QFile::exists(Registry::hiveFileName()));
        QVERIFY(registry.openKey(QStringLiteral("\\software\\QRV\\made\\mru"), false));
        // No leading separator and "/" separators name the same key.
        QVERIFY(registry.openKey(QStringLiteral("software/QRV/made/mru"), false));
        QCOMPARE(registry.readString(QStringLiteral("MRU1")), QStringLiteral("one"));
        // A key without values is not kept: an INI file has no empty groups.
        QVERIFY(registry.openKey(QStringLiteral("\\software\\QRV\\empty"), true));
        registry.closeKey();
        QVERIFY(!registry.openKey(QStringLiteral("\\software\\QRV\\empty"), false));
    }

    void namesIgnoreLetterCaseAndKeepTheirSpelling() {
        Registry registry;
        QVERIFY(registry.openKey(QStringLiteral("\\Software\\QRV\\QRV Veldmark\\mru"), true));
        registry.writeString(QStringLiteral("MRU1"), QStringLiteral("first"));
        registry.closeKey();

        QVERIFY(registry.openKey(QStringLiteral("\\SOFTWARE\\qrv\\qrv veldmark\\MRU"), false));
        QVERIFY(registry.valueExists(QStringLiteral("mru1")));
        QCOMPARE(registry.readString(QStringLiteral("Mru1")), QStringLiteral("first"));
        registry.writeString(QStringLiteral("mru1"), QStringLiteral("second"));
        QCOMPARE(registry.valueNames(), QStringList{QStringLiteral("MRU1")});
        registry.closeKey();
        QCOMPARE(readInFreshProcess(QStringLiteral("\\Software\\QRV\\QRV Veldmark\\mru"),
                                    QStringLiteral("MRU1")),
                 QStringLiteral("second"));
    }

    void stringsSurviveTheFile_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain path") << QStringLiteral("/home/ana/data/sales.db");
        QTest::newRow("empty") << QString(QLatin1String(""));
        QTest::newRow("leading at sign") << QStringLiteral("@ByteArray(not binary)");
        QTest::newRow("commas") << QStringLiteral("/tmp/a, b, c.db");
        QTest::newRow("ini syntax") << QStringLiteral("x=1;y=[2] # z");
        QTest::newRow("blanks around") << QStringLiteral("  padded  ");
        QTest::newRow("quotes and backslashes") << QStringLiteral("C:\\Data\\\"q\".mdb");
        QTest::newRow("non-ASCII") << QStringLiteral("/srv/Žitna polja/čaša.db");
    }
    void stringsSurviveTheFile() {
        QFETCH(QString, text);
        const QString key = QStringLiteral("\\software\\QRV\\strings");
        {
            Registry registry;
            QVERIFY(registry.openKey(key, true));
            registry.writeString(QStringLiteral("MRU1"), text);
            registry.closeKey();
        }
        QCOMPARE(readInFreshProcess(key, QStringLiteral("MRU1")), text);
    }

    void otherDataTypesAreRefused_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("bytes") << QVariant(QByteArray("\x01\x02", 2));
        QTest::newRow("string list") << QVariant(QStringList{"a", "b"});
        QTest::newRow("point") << QVariant(QPoint(1, 2));
        QTest::newRow("date-time") << QVariant(QDateTime(QDate(2020, 1, 2), QTime(3, 4)));
    }
    void otherDataTypesAreRefused() {
        QFETCH(QVariant, value);
        {
            QSettings raw(Registry::hiveFileName(), QSettings::IniFormat);
            raw.setValue(QStringLiteral("software/QRV/types/MRU1"), value);
        }
        Registry registry;
        QVERIFY(registry.openKey(QStringLiteral("\\software\\QRV\\types"), false));
        QVERIFY(registry.valueExists(QStringLiteral("MRU1")));
        try {
            registry.readString(QStringLiteral("MRU1"));
            QFAIL("a value of another type was read as a string");
        } catch (const RegistryError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Invalid data type for 'MRU1'"));
        }
    }

    void missingValueReadsEmptyAndDeletesReportExistence() {
        Registry registry;
        QVERIFY(registry.openKey(QStringLiteral("\\software\\QRV\\delete"), true));
        registry.writeString(QStringLiteral("MRU1"), QStringLiteral("a"));
        registry.writeString(QStringLiteral("MRU2"), QStringLiteral("b"));
        QVERIFY(registry.deleteValue(QStringLiteral("mru1")));
        QVERIFY(!registry.deleteValue(QStringLiteral("MRU1")));
        QCOMPARE(registry.readString(QStringLiteral("MRU1")), QString());
        registry.closeKey();
        QVERIFY(registry.openKey(QStringLiteral("\\software\\QRV\\delete"), false));
        QCOMPARE(registry.valueNames(), QStringList{QStringLiteral("MRU2")});
    }

    // A save killed at any moment leaves the previous or the next version of
    // the file, never a mixture or a truncated one.
    void killedSaveLeavesAWholeFile() {
        int lastGeneration = 0;
        int broken = 0;
        for (int round = 0; round < 12; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer")});
            QVERIFY(writer.waitForReadyRead(10000));
            QThread::msleep(3 + round * 7 % 23);
            writer.kill();
            writer.waitForFinished();

            QProcess check;
            check.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--check")});
            QVERIFY(check.waitForFinished());
            const QString result = QString::fromLatin1(check.readAllStandardOutput()).trimmed();
            if (result == QLatin1String("broken") || result == QLatin1String("none")) {
                ++broken;
                continue;
            }
            const int generation = result.toInt();
            QVERIFY2(generation >= 1, qPrintable(result));
            lastGeneration = generation;
        }
        QCOMPARE(broken, 0);
        QVERIFY(lastGeneration >= 1);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--writer")) {
        return runWriter();
    }
    if (args.value(1) == QLatin1String("--check")) {
        return runCheck();
    }
    if (args.value(1) == QLatin1String("--read")) {
        return runRead(args.value(2), args.value(3));
    }
    TestRegistry test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_registry.moc"
