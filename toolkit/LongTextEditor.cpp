#include "toolkit/LongTextEditor.h"

#include <QKeyEvent>

namespace tk {

LongTextEditor::LongTextEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
}

QString LongTextEditor::text() const {
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, lineBreak_);
    return raw;
}

void LongTextEditor::setText(const QString& text) {
    lineBreak_ =
        text.contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    setPlainText(text);
}

bool LongTextEditor::isNewLineKey(const QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    return enter && (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
}

void LongTextEditor::keyPressEvent(QKeyEvent* event) {
    if (isNewLineKey(event)) {
        insertPlainText(QStringLiteral("\n"));
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

} // namespace tk
