#include "tests/support/ProgramFixture.h"

#include "data/service/Query.h"
#include "tests/support/MainWindowDriver.h"
#include "tests/support/TestDb.h"
#include "toolkit/ErrorReport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTreeWidget>

ProgramFixture::ProgramFixture(const char* script)
    : ownDialogs_(std::make_unique<ScriptedDialogs>()), dialogs(*ownDialogs_) {
    tk::setApplicationTitle(program::title);
    if (script) {
        path = dir.filePath(QStringLiteral("shop.db"));
        testdb::run(path, script);
        dm.connection.setConnectionString(testdb::jetString(path));
        dm.connection.open();
        dialogs.clear();
    }
}

std::unique_ptr<vdata::Connection> ProgramFixture::connectTo(const std::string& connectionString) {
    auto c = std::make_unique<vdata::Connection>();
    c->setConnectionString(connectionString);
    c->open();
    return c;
}

std::unique_ptr<vdata::Connection> ProgramFixture::other() const {
    return connectTo(testdb::jetString(path));
}

std::string ProgramFixture::readBack(const std::string& sql) const {
    auto c = other();
    vdata::Query q(c.get());
    q.setSQL(sql);
    q.open();
    return q.isEmpty() ? std::string("<no row>") : q.field(0).asString();
}

void ProgramFixture::show() {
    form.resize(900, 600);
    form.show();
}

bool ProgramFixture::started() {
    form.showMaximized();
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form);
}

void ProgramFixture::open(const QString& file) {
    dialogs.fileAnswers.push_back(file);
    form.mnuOpen->trigger();
}

QList<QTreeWidgetItem*> ProgramFixture::tables() const {
    QList<QTreeWidgetItem*> result;
    for (int i = 0; i < form.DBTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = form.DBTree->topLevelItem(i);
        if (root->text(0) == QLatin1String("Tables")) {
            for (int k = 0; k < root->childCount(); ++k) {
                result << root->child(k);
            }
        }
    }
    return result;
}

DataWindow* ProgramFixture::click(QTreeWidgetItem* item) {
    if (!item) {
        return nullptr;
    }
    form.DBTree->scrollToItem(item);
    mainwin::clickNode(form, item);
    const QList<DataWindow*> windows = mainwin::dataWindows(form);
    DataWindow* w = windows.isEmpty() ? nullptr : windows.last();
    // As a user waits for the counter: every row read.
    QElapsedTimer waited;
    waited.start();
    while (w && w->query().reading() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return w;
}

DataWindow* ProgramFixture::click(const QString& parent, const QString& leaf) {
    return click(mainwin::node(form, parent, leaf));
}

int ProgramFixture::windowCount() const {
    return int(form.MdiClient->subWindowList().size());
}

void ProgramFixture::closeActive() {
    QTest::mouseClick(form.CloseButton, Qt::LeftButton);
    settle();
}

void ProgramFixture::disconnect() {
    form.mnuDisconnect->trigger();
    settle();
}

void ProgramFixture::settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
