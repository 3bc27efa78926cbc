#pragma once

#include <QObject>

class QsciScintilla;
class QTimer;

namespace tk {

// Marks on a code editor's text, at byte positions: the statement about to
// run, shown for about half a second or until the next edit, and the place
// of an error, with the caret put there, until the next edit.
class EditorMarks : public QObject {
    Q_OBJECT
public:
    explicit EditorMarks(QsciScintilla* editor);

    void flashRange(int begin, int end);
    // Marks the word at `position` (one character where there is none).
    void markError(int position);

private:
    void clear(int indicator);
    void fill(int indicator, int begin, int end);

    QsciScintilla* editor_;
    QTimer* flashTimer_;
    int flash_;
    int error_;
};

} // namespace tk
