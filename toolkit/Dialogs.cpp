#include "toolkit/Dialogs.h"

#include "toolkit/ErrorReport.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace tk {
namespace {

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

class QtDialogs : public Dialogs {
public:
    void message(MessageKind kind, const QString& caption, const QString& text) override {
        QMessageBox box(iconOf(kind), caption, text, QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }

    bool confirm(const QString& caption, const QString& text) override {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                        QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok;
    }

    bool prompt(const QString& caption, const QString& label, QString& value,
                int maxLength) override {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(caption);
        dialog.setLabelText(label);
        dialog.setTextValue(value);
        if (auto* edit = dialog.findChild<QLineEdit*>()) {
            edit->setMaxLength(maxLength);
        }
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        value = dialog.textValue();
        return true;
    }

    bool openFile(QWidget* parent, const QString& filter, QString& fileName) override {
        const QString dir = fileName.isEmpty() ? QString() : QFileInfo(fileName).absoluteFilePath();
        const QString chosen = QFileDialog::getOpenFileName(parent, QString(), dir, filter);
        if (chosen.isEmpty()) {
            return false;
        }
        fileName = chosen;
        return true;
    }

    int showModal(QDialog& dialog) override { return dialog.exec(); }
};

QtDialogs& realDialogs() {
    static QtDialogs dialogs;
    return dialogs;
}

Dialogs* installed = nullptr;

} // namespace

Dialogs& Dialogs::current() {
    return installed ? *installed : realDialogs();
}

void Dialogs::install(Dialogs* d) {
    installed = d;
}

QString messageCaption(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QStringLiteral("Error");
    case MessageKind::Warning:
        return QStringLiteral("Warning");
    case MessageKind::Information:
        return QStringLiteral("Information");
    }
    return {};
}

void showMessage(MessageKind kind, const QString& text) {
    Dialogs::current().message(kind, messageCaption(kind), text);
}

} // namespace tk
