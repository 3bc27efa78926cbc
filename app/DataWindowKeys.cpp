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

bool DataWindowKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !watched->isWidgetType())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
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
