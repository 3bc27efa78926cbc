#pragma once

#include <QString>

#include <exception>

namespace tk {

// The application's title, set once at start-up.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// The default error report: a modal error box captioned with the application
// title, with a full stop appended when the message's last character sorts
// after '.'. A vdata::SilentAbort and a cancellation the user asked for
// (see isCancellation) are ignored.
void reportError(const std::exception& e);
void reportError(const QString& message);
// Whether e is work the user cancelled (vdata::ErrorKind::Cancelled), which
// is not reported.
bool isCancellation(const std::exception& e);
// Runs f and sends anything it throws to the default error report.
template <typename F> void guarded(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

} // namespace tk
