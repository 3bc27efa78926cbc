#include "toolkit/ValueViewer.h"

#include "toolkit/LongTextEditor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tk {

ValueViewer::ValueViewer(QWidget* parent)
    : QDialog(parent), text_(new LongTextEditor(this)), note_(new QLabel(this)) {
    setObjectName(QStringLiteral("ValueViewer"));
    text_->setReadOnly(true);
    text_->setPlaceholderText(QStringLiteral("(null)"));
    text_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    note_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(note_);
    layout->addWidget(buttons);
    resize(640, 400);
}

void ValueViewer::showValue(const QString& title, const QString& value, bool isNull,
                            const QString& note) {
    setWindowTitle(title);
    text_->setText(isNull ? QString() : value);
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    show();
    raise();
    activateWindow();
    text_->setFocus();
}

QString ValueViewer::text() const {
    return text_->text();
}

} // namespace tk
