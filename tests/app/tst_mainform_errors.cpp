// What no handler catches: the application object sends it to the default
// error report (or drops a silent abort), and the program goes on. Also the
// termination signals that end the program the normal way.

#include "data/service/Errors.h"

#include "ScriptedDialogs.h"
#include "toolkit/Application.h"

#include <QPushButton>
#include <QTest>

#include <csignal>

class TestMainFormErrors : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        static_cast<tk::Application*>(qApp)->setTitle(QStringLiteral("QRV Veldmark"));
    }

    void unhandledErrorOfAHandlerIsReported() {
        ScriptedDialogs dialogs;
        QPushButton button;
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&] {
            ++clicks;
            throw vdata::DataError("no such table: Query]");
        });
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2); // the program went on after the first error
        QCOMPARE(dialogs.count("error"), 2);
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("QRV Veldmark"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("no such table: Query]."));
    }

    void silentAbortShowsNothing() {
        ScriptedDialogs dialogs;
        QPushButton button;
        connect(&button, &QPushButton::clicked, [] { throw vdata::SilentAbort(); });
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 0);
    }

    void terminationSignalRunsTheHandlerInTheEventLoop() {
        auto* app = static_cast<tk::Application*>(qApp);
        int calls = 0;
        app->onTerminationSignal([&] { ++calls; });
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_COMPARE(calls, 1);
        QCOMPARE(::raise(SIGINT), 0);
        QTRY_COMPARE(calls, 2);
        app->onTerminationSignal({});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    tk::Application app(argc, argv);
    TestMainFormErrors test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainform_errors.moc"
