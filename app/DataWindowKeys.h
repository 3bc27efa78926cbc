#pragma once

#include <QObject>

class QAbstractButton;
class QKeyEvent;
class QWidget;

// Installed on each data window's MDI frame: while the focus is inside the
// window, a key that is the mnemonic of one of its buttons (Alt+A for
// "&Add") presses that button, even when a main-menu title has the same
// letter. Qt would take the two as one ambiguous shortcut and press
// neither. Outside the data windows the main menu keeps its letters.
// Ctrl+F4 closes the window from any of its controls.
class DataWindowKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QAbstractButton* buttonFor(QWidget* frame, const QKeyEvent& key);
    static bool closeKey(QWidget* frame, QKeyEvent* key);
};
