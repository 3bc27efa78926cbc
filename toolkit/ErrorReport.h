#pragma once

#include <QString>

#include <concepts>
#include <exception>
#include <functional>
#include <utility>

namespace tk {

// The application's title, set once at start-up.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// The default error report: a modal error box captioned with the application
// title, with a full stop appended when the message's last character sorts
// after '.'. A cancellation the user asked for (see isCancellation) is
// ignored.
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

// A slot or event handler that reports what it throws where it runs, so
// nothing is thrown through Qt's event dispatch or signal emission. The
// result takes the signal's arguments (as many as `method` takes).
template <typename Object, typename Method> auto handler(Object* object, Method method) {
    return [ object,
             method ](auto&&... args) requires std::invocable<Method, Object*, decltype(args)...> {
        guarded([&] { std::invoke(method, object, std::forward<decltype(args)>(args)...); });
    };
}
template <typename F> auto handler(F f) {
    return [f = std::move(f)](auto&&... args) requires std::invocable<F&, decltype(args)...> {
        guarded([&] { std::invoke(f, std::forward<decltype(args)>(args)...); });
    };
}

} // namespace tk
