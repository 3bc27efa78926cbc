#pragma once

#include <QApplication>

#include <functional>

class QSocketNotifier;

namespace tk {

// The application object. Handlers report their own errors (tk::handler);
// notify() keeps a last-resort catch, so that an exception that still got
// into Qt's event code is shown by the default error report instead of
// ending the program. lastResortCatches() counts those.
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
    int lastResortCatches() const { return lastResortCatches_; }

private:
    QSocketNotifier* signalNotifier_ = nullptr;
    std::function<void()> terminationHandler_;
    int lastResortCatches_ = 0;
};

} // namespace tk
