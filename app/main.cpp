#include "app/MainWindow.h"
#include "connection/ConnectionManager.h"
#include "data/providers/ProviderRegistry.h"
#include "toolkit/Application.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <memory>

int main(int argc, char** argv) {
    vdata::installProviders();
    tk::Application app(argc, argv);
    app.setTitle(QStringLiteral("QRV Veldmark"));

    // The connection manager lives longer than the main window: the window
    // goes first, then the manager closes a connection that is still open.
    auto dataModule = std::make_unique<ConnectionManager>();
    auto mainForm = std::make_unique<MainWindow>();
    app.onTerminationSignal([] {
        if (MainForm)
            MainForm->close();
    });
    mainForm->showMaximized();
    // `veldmark FILE` (a file manager's "Open with") opens that database once
    // the window is up.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) {
        QTimer::singleShot(0, mainForm.get(),
                           [&mainForm, file = arguments.at(1)] { mainForm->OpenFile(file); });
    }
    const int result = app.exec();
    mainForm.reset();
    dataModule.reset();
    return result;
}
