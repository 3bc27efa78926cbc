#include "toolkit/EditBox.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace tk {

EditBox::EditBox(QWidget* parent) : QLineEdit(parent) {}

void EditBox::setTextColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Text, color);
    setPalette(p);
}

QColor EditBox::textColor() const {
    return palette().color(QPalette::Text);
}

// Focus that leaves with the whole window and comes back with it is no
// leaving or entering of the box; the first focus a new window gives is.
void EditBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    const bool returning = event->reason() == Qt::ActiveWindowFocusReason && awayWithWindow_;
    awayWithWindow_ = false;
    if (!returning && event->reason() != Qt::PopupFocusReason) {
        emit entered(this);
    }
}

void EditBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason) {
        awayWithWindow_ = true;
    } else if (event->reason() != Qt::PopupFocusReason) {
        emit exited(this);
    }
}

void EditBox::keyPressEvent(QKeyEvent* event) {
    emit keyDown(this, event->key(), event->modifiers());
    QLineEdit::keyPressEvent(event);
}

} // namespace tk
