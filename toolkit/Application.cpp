#include "toolkit/Application.h"

#include "toolkit/DBGrid.h"
#include "toolkit/ErrorReport.h"

#include <QKeyEvent>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tk {
namespace {

// A signal handler may only write to a descriptor; the event loop reads the
// other end and runs the handler there.
int signalPipe[2] = {-1, -1};

void writeSignalByte(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // A write past the user's file-size limit fails with "File too large"
    // and is reported like a full disk, instead of ending the program with
    // every unsaved edit.
    std::signal(SIGXFSZ, SIG_IGN);
}

Application::~Application() {
    if (signalNotifier_) {
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            std::signal(sig, SIG_DFL);
    }
}

void Application::setTitle(const QString& title) {
    setApplicationTitle(title);
}

void Application::onTerminationSignal(std::function<void()> handler) {
    terminationHandler_ = std::move(handler);
    if (signalNotifier_)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    signalNotifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[1], &byte, 1);
        if (terminationHandler_)
            terminationHandler_();
    });
    struct sigaction action {};
    action.sa_handler = writeSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

namespace {

// Ctrl+Tab and Ctrl+Shift+Tab in a grid (or its open cell editor) move the
// keyboard out of the grid. An MDI area's application-wide filter would
// take the keys first to switch windows, so they are handled before it.
bool leftGrid(QObject* receiver, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || !(key->modifiers() & Qt::ControlModifier)) {
        return false;
    }
    for (QObject* o = receiver; o; o = o->parent()) {
        if (auto* grid = qobject_cast<DBGrid*>(o)) {
            grid->leaveGrid(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return false;
}

} // namespace

bool Application::notify(QObject* receiver, QEvent* event) {
    if (leftGrid(receiver, event)) {
        return true;
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ++lastResortCatches_;
        reportError(e);
    } catch (...) {
        ++lastResortCatches_;
        reportError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace tk
