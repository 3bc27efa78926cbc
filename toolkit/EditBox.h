#pragma once

#include <QLineEdit>

namespace tk {

// A single-line edit box that reports focus entering and leaving and every
// key that goes down (the key is not consumed; handlers only read it).
class EditBox : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
public:
    explicit EditBox(QWidget* parent = nullptr);

    // The font colour of the text.
    void setTextColor(const QColor& color);
    QColor textColor() const;

signals:
    void entered(QObject* sender);
    void exited(QObject* sender);
    void keyDown(QObject* sender, int key, Qt::KeyboardModifiers shift);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool awayWithWindow_ = false;
};

} // namespace tk
