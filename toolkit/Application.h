#pragma once

#include <QApplication>

#include <functional>

class QSocketNotifier;

namespace tk {

// The application object. Every event handler runs inside notify(), so an
// exception that no handler caught ends up here and is shown by the default
// error report instead of ending the program. A vdata::SilentAbort is dropped
// without a message.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    ~Application() override;

    // The title of the whole program: main window caption, banner text and
    // the caption of the default error report.
    void setTitle(const QString& title);

    // Runs `handler` in the event loop when the process receives SIGTERM,
    // SIGINT or SIGHUP (a session logout, a kill, Ctrl+C in the terminal), so
    // that the program can shut down the normal way.
    void onTerminationSignal(std::function<void()> handler);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QSocketNotifier* signalNotifier_ = nullptr;
    std::function<void()> terminationHandler_;
};

} // namespace tk
