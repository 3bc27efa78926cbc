// Starts the real program on a real X server (Xvfb), waits until its main
// window is on the screen, asks it to end the way a session logout does
// (SIGTERM) and expects a clean exit.

#include "tests/support/TestDb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString title = QStringLiteral("QRV Veldmark");

QString programPath() {
    // The test programs are built next to the app folder of the build tree.
    return QFileInfo(QCoreApplication::applicationDirPath() + "/../app/veldmark")
        .absoluteFilePath();
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Whether the running process `pid` ignores `signal` (its SigIgn mask).
bool ignoresSignal(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigIgn:")) {
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
        }
    }
    return false;
}

} // namespace

class TestSmoke : public QObject {
    Q_OBJECT

    QProcess xserver;
    QString display;

private Q_SLOTS:
    void initTestCase() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
            QFAIL("Xvfb and xwininfo are needed (scripts/install-deps.sh installs them)");
        QVERIFY2(QFileInfo::exists(programPath()),
                 qPrintable("the program is not built: " + programPath()));
        // -displayfd 1: the server picks a free display and prints its number.
        xserver.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QVERIFY(xserver.waitForStarted(10000));
        QElapsedTimer waited;
        waited.start();
        while (!xserver.canReadLine() && waited.elapsed() < 20000)
            xserver.waitForReadyRead(500);
        display = ":" + QString::fromLatin1(xserver.readLine()).trimmed();
        QVERIFY2(display.size() > 1, "Xvfb did not report its display");
    }

    void cleanupTestCase() {
        xserver.terminate();
        xserver.waitForFinished(10000);
    }

    void mainWindowAppearsAndTheProgramEndsCleanly() {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(programPath(), {});
        QVERIFY(program.waitForStarted(10000));

        QString info;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 30000 && program.state() == QProcess::Running) {
            info = run("xwininfo", {"-display", display, "-name", title});
            if (info.contains("Map State: IsViewable"))
                break;
            QTest::qWait(200);
        }
        QVERIFY2(info.contains("Map State: IsViewable"),
                 qPrintable("no main window; program said: " + program.readAll()));
        QVERIFY(
            run("xwininfo", {"-display", display, "-root", "-tree"}).contains("\"" + title + "\""));
        // A write past the user's file-size limit must fail with an error the
        // program reports, not end it: SIGXFSZ is ignored.
        QVERIFY(ignoresSignal(program.processId(), SIGXFSZ));

        program.terminate();
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    // `veldmark FILE`, as a file manager starts it, opens the file and adds
    // it to the recent list (saved at once in the user's settings).
    void aFileNamedOnTheCommandLineOpens() {
        QTemporaryDir home;
        const QString file = home.filePath(QStringLiteral("named ü.db"));
        testdb::run(file, "CREATE TABLE t (x INT);");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", home.path());
        program.setProcessEnvironment(env);
        program.start(programPath(), {file});
        QVERIFY(program.waitForStarted(10000));
        const auto remembered = [&] {
            QFile settings(home.filePath(QStringLiteral("QRV/registry.ini")));
            return settings.open(QIODevice::ReadOnly) &&
                   QString::fromUtf8(settings.readAll()).contains(file);
        };
        QTRY_VERIFY_WITH_TIMEOUT(remembered(), 30000);
        program.terminate();
        QVERIFY(program.waitForFinished(15000));
    }
};

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
