#pragma once

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Presses Cancel on the progress dialog, as the user does: once it shows rows
// done, or at once for work that has no rows to show; keeps the label it showed.
class CancelWhenShown {
public:
    explicit CancelWhenShown(bool waitForRows = true) : waitForRows_(waitForRows) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(0); // at each pass of the event loop, also inside the work
    }
    bool pressed() const { return pressed_; }
    const QString& label() const { return label_; }

private:
    void poll() {
        auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (pressed_ || !dialog || !dialog->isVisible()) {
            return;
        }
        label_ = dialog->labelText();
        if (waitForRows_ && label_.endsWith(QLatin1String(": 0"))) {
            return; // the server has sent no row yet
        }
        pressed_ = true;
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
    }

    bool waitForRows_;
    QTimer timer_;
    QString label_;
    bool pressed_ = false;
};
