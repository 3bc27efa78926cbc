#pragma once

#include <QObject>
#include <QString>

class QsciScintilla;
class QTimer;

// Keeps the text of a freehand window's editor in the history file, per
// database, so that it comes back in the next freehand window on the same
// database. Each open window on a database holds a numbered slot, the lowest
// free one: the first window takes slot 1 and gets back what the first
// window had, a second window at the same time slot 2, and so on. The text
// is saved a short while after the user stops typing, when the window closes
// and when the program ends; it is only put back, never run.
class KeptText : public QObject {
    Q_OBJECT
public:
    KeptText(QsciScintilla& editor, const QString& database);
    ~KeptText() override;

    // Puts the slot's kept text into the editor; false when there was none,
    // it was empty or the file could not be read.
    bool restore();
    // Saves the text when it changed since it was restored or saved.
    void save();
    int slot() const { return slot_; }

private:
    QsciScintilla& editor_;
    const QString database_;
    const int slot_;
    QTimer* const pause_;
    QString saved_; // the text as last restored or saved
};
