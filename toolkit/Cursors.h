#pragma once

class QWidget;

namespace tk {

enum class CursorShape { Default, Hourglass, SqlWait, HandPoint };

// The application-wide cursor is one value: setting it replaces the previous
// shape, and Default removes it. It never stacks.
void setAppCursor(CursorShape shape);
CursorShape appCursor();

// Shows an application cursor for as long as it lives and puts the default
// back when it goes, also when an exception leaves the scope. Declared inside
// a try block, it resets the cursor before the handler runs (and so before
// any message the handler shows).
class AppCursorGuard {
public:
    explicit AppCursorGuard(CursorShape shape) { setAppCursor(shape); }
    ~AppCursorGuard() { setAppCursor(CursorShape::Default); }
    AppCursorGuard(const AppCursorGuard&) = delete;
    AppCursorGuard& operator=(const AppCursorGuard&) = delete;
};

// One widget's own cursor.
void setWidgetCursor(QWidget* widget, CursorShape shape);
CursorShape widgetCursor(const QWidget* widget);

} // namespace tk
