// Files opened through the Open dialog are remembered across a restart of
// the program, most recent first, and reopening one keeps the order.

// The service headers come before any Qt header (Qt defines "slots").
#include "data/service/Connection.h"

#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "app/MainForm.h"
#include "components/QrvMRU.h"
#include "data/DataModule.h"
#include "toolkit/ErrorReport.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The program's objects in the program's order: the manager outlives the window.
struct Program {
    std::unique_ptr<TDM> dm = std::make_unique<TDM>();
    std::unique_ptr<TMainForm> form = std::make_unique<TMainForm>();
    ~Program() {
        form.reset();
        dm.reset();
    }
};

QStringList entries(const TMainForm& form) {
    QStringList captions;
    for (QAction* a : form.mnuMRU->actions()) {
        if (qobject_cast<TMRUMenuItem*>(a))
            captions << a->text();
    }
    return captions;
}

} // namespace

class TestMruRestart : public QObject {
    Q_OBJECT
    QTemporaryDir config;
    QTemporaryDir files;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        tk::setApplicationTitle(QStringLiteral("QRV Veldmark"));
        testdb::run(files.filePath("a.mdb"), "CREATE TABLE t(x INT);");
        testdb::run(files.filePath("b.mdb"), "CREATE TABLE u(y INT);");
    }

    void remembersOpenedFilesAcrossARestart() {
        const QString a = files.filePath("a.mdb");
        const QString b = files.filePath("b.mdb");
        ScriptedDialogs dialogs;
        {
            Program run;
            QVERIFY(entries(*run.form).isEmpty());
            dialogs.fileAnswers = {a, b};
            run.form->actFileOpenExecute();
            QVERIFY(DM->ADOConn.connected());
            run.form->mnuDisconectClick();
            run.form->actFileOpenExecute();
            QCOMPARE(entries(*run.form), (QStringList{b, a}));
        } // the program ends normally with b still open

        Program again;
        QCOMPARE(entries(*again.form), (QStringList{b, a}));
        QVERIFY(again.form->mnuMRU->menuAction()->isEnabled());
        // Reopening from the list opens the file and leaves the order alone.
        again.form->mnuMRU->actions().at(1)->trigger();
        QVERIFY(DM->ADOConn.connected());
        QCOMPARE(again.form->ConnectedTo, a);
        QCOMPARE(entries(*again.form), (QStringList{b, a}));
        QCOMPARE(dialogs.count("error"), 0);
    }

    void aFailedOpenIsNotRemembered() {
        ScriptedDialogs dialogs;
        Program run;
        const QStringList before = entries(*run.form);
        dialogs.fileAnswers = {files.filePath("missing.mdb")};
        run.form->actFileOpenExecute(); // error, then the password prompt, cancelled
        QCOMPARE(dialogs.count("error"), 1);
        QCOMPARE(entries(*run.form), before);
    }
};

QTEST_MAIN(TestMruRestart)
#include "tst_mru_restart.moc"
