#pragma once

#include <QPlainTextEdit>

namespace tk {

// The grid's editor for long and multi-line values. It holds the whole value
// and gives it back exactly: lines are not wrapped (a long line costs time in
// proportion to its length, not its square) and the text is read raw, so
// non-breaking spaces stay; a value whose lines ended in CR LF gets them back.
// Return hands the value in, as in the one-line editor; Ctrl+Return and
// Shift+Return start a new line.
class LongTextEditor : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText USER true)
public:
    explicit LongTextEditor(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

    // True for the keys that insert a line break here.
    static bool isNewLineKey(const QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString lineBreak_ = QStringLiteral("\n");
};

} // namespace tk
