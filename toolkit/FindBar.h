#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QsciScintilla;

namespace tk {

// Find and replace over a code editor's text, shown in the editor's top
// right corner: Return finds the next match, Shift+Return the one before,
// Escape closes the bar and gives the keyboard back to the editor. The
// search wraps at the text's ends; "Replace all" is one undo step.
class FindBar : public QFrame {
    Q_OBJECT
public:
    explicit FindBar(QsciScintilla* editor);

    // Shows the bar with the editor's selection (when on one line) as the
    // text to find; `replacing` shows the replace line too.
    void open(bool replacing);
    bool findNext(bool backward = false);
    void replaceOne();
    int replaceAll();
    void place();

    QLineEdit* findBox() const { return find_; }
    QLineEdit* replaceBox() const { return replace_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool findFrom(int line, int index, bool backward);
    void showFound(bool found);

    QsciScintilla* editor_;
    QLineEdit* find_;
    QLineEdit* replace_;
    QCheckBox* matchCase_;
    QWidget* replaceRow_;
    QLabel* note_;
};

} // namespace tk
