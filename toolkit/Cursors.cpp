#include "toolkit/Cursors.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

namespace tk {
namespace {

CursorShape current = CursorShape::Default;

Qt::CursorShape qtShape(CursorShape shape) {
    switch (shape) {
    case CursorShape::Default:
        return Qt::ArrowCursor;
    case CursorShape::Hourglass:
        return Qt::WaitCursor;
    case CursorShape::SqlWait:
        return Qt::BusyCursor;
    case CursorShape::HandPoint:
        return Qt::PointingHandCursor;
    }
    return Qt::ArrowCursor;
}

} // namespace

void setAppCursor(CursorShape shape) {
    if (shape == current) {
        return;
    }
    if (current != CursorShape::Default) {
        QApplication::restoreOverrideCursor();
    }
    if (shape != CursorShape::Default) {
        QApplication::setOverrideCursor(QCursor(qtShape(shape)));
    }
    current = shape;
}

CursorShape appCursor() {
    return current;
}

void setWidgetCursor(QWidget* widget, CursorShape shape) {
    if (!widget) {
        return;
    }
    if (shape == CursorShape::Default) {
        widget->unsetCursor();
    } else {
        widget->setCursor(qtShape(shape));
    }
}

CursorShape widgetCursor(const QWidget* widget) {
    if (!widget || !widget->testAttribute(Qt::WA_SetCursor)) {
        return CursorShape::Default;
    }
    switch (widget->cursor().shape()) {
    case Qt::WaitCursor:
        return CursorShape::Hourglass;
    case Qt::BusyCursor:
        return CursorShape::SqlWait;
    case Qt::PointingHandCursor:
        return CursorShape::HandPoint;
    default:
        return CursorShape::Default;
    }
}

} // namespace tk
