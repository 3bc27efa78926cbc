#pragma once

class QWidget;

namespace tk {

enum class CursorShape { Default, Hourglass, SqlWait, HandPoint };

// The application-wide cursor is one value: setting it replaces the previous
// shape, and Default removes it. It never stacks.
void setAppCursor(CursorShape shape);
CursorShape appCursor();

// One widget's own cursor.
void setWidgetCursor(QWidget* widget, CursorShape shape);
CursorShape widgetCursor(const QWidget* widget);

} // namespace tk
