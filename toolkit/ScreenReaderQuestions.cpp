#include "toolkit/ScreenReaderQuestions.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace tk {

namespace {

// Longer than a screen reader takes to send its next question, far shorter
// than a step of work.
constexpr qint64 pauseNs = 5'000'000;

} // namespace

ScreenReaderQuestions::ScreenReaderQuestions() : QObject(QCoreApplication::instance()) {
    QCoreApplication::instance()->installEventFilter(this);
}

// One for the application, made when first asked for and gone with it.
ScreenReaderQuestions* ScreenReaderQuestions::instance() {
    static QPointer<ScreenReaderQuestions> questions;
    if (questions.isNull()) {
        questions = new ScreenReaderQuestions;
    }
    return questions;
}

bool ScreenReaderQuestions::justAsked() {
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    const QElapsedTimer& since = instance()->sinceAnswer_;
    return since.isValid() && since.nsecsElapsed() < pauseNs;
}

// The bridge's questions come from the D-Bus thread as calls queued to the
// bridge's object on this thread.
bool ScreenReaderQuestions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MetaCall && watched->inherits("QDBusVirtualObject")) {
        sinceAnswer_.start();
    }
    return false;
}

} // namespace tk
