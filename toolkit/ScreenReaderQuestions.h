#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace tk {

// Notes when a screen reader last asked the program something over the
// accessibility bridge. A screen reader asks dozens of questions in turn to
// reach a cell, each sent when the last is answered: work done in steps
// between events (reading rows) waits a moment after an answer, so that the
// next question is answered at once instead of after a step. Without the
// bridge no question comes, and nothing waits.
class ScreenReaderQuestions : public QObject {
public:
    // True for a short while after a question was answered.
    static bool justAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ScreenReaderQuestions();
    static ScreenReaderQuestions* instance();

    QElapsedTimer sinceAnswer_;
};

} // namespace tk
