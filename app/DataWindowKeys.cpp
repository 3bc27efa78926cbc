#include "app/DataWindowKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

// The usable button with that shortcut nearest to the focus: the search
// widens from the focused widget's parent up to the frame, so that of two
// navigators the one beside the focused grid wins.
QAbstractButton* DataWindowKeys::buttonFor(QWidget* frame, const QKeyEvent& key) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !frame->isAncestorOf(focus))
        return nullptr;
    const QKeySequence sequence(key.keyCombination());
    for (QWidget* scope = focus->parentWidget(); scope; scope = scope->parentWidget()) {
        for (QAbstractButton* button : scope->findChildren<QAbstractButton*>()) {
            if (button->shortcut() == sequence && button->isVisible() && button->isEnabled())
                return button;
        }
        if (scope == frame)
            break;
    }
    return nullptr;
}

// Ctrl+F4 closes the window wherever the focus is inside it. The frame's own
// close key follows the desktop's key scheme (Ctrl+W alone on X11), so the
// key is taken here, ahead of every shortcut, whatever the scheme.
bool DataWindowKeys::closeKey(QWidget* frame, QKeyEvent* key) {
    QWidget* focus = QApplication::focusWidget();
    if (key->keyCombination() != QKeyCombination(Qt::ControlModifier, Qt::Key_F4) || !focus ||
        (focus != frame && !frame->isAncestorOf(focus)))
        return false;
    key->accept();
    if (key->type() == QEvent::KeyPress)
        frame->close();
    return true;
}

bool DataWindowKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !watched->isWidgetType())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (closeKey(static_cast<QWidget*>(watched), key))
        return true;
    QAbstractButton* button = buttonFor(static_cast<QWidget*>(watched), *key);
    if (!button)
        return false;
    // Taking the override keeps the shortcut map out; the key press that
    // follows reaches the frame and presses the button.
    key->accept();
    if (type == QEvent::KeyPress)
        button->click();
    return true;
}
