#include "toolkit/Dialogs.h"

#include "toolkit/ErrorReport.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

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

// The width a window needs so that the window manager can show `caption`
// in full: the caption in the title font, plus the window icon and three
// title-bar buttons, each about as wide as the bar is high.
int widthForCaption(const QWidget& window, const QString& caption) {
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int button = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return metrics.horizontalAdvance(caption) + 4 * button + 2 * metrics.averageCharWidth();
}

// The box sizes itself to its layout when shown, so the caption's width
// goes in as a spacer under everything else.
void makeRoomForCaption(QMessageBox& box) {
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = widthForCaption(box, box.windowTitle());
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

int execBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (buttons.testFlag(QMessageBox::Ok))
        box.setDefaultButton(QMessageBox::Ok);
    makeRoomForCaption(box);
    return box.exec();
}

class QtDialogs : public Dialogs {
public:
    void message(MessageKind kind, const QString& caption, const QString& text) override {
        execBox(iconOf(kind), caption, text, QMessageBox::Ok);
    }

    bool confirm(const QString& caption, const QString& text) override {
        return execBox(QMessageBox::Question, caption, text,
                       QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }

    SaveChoice askToSave(const QString& caption, const QString& text) override {
        switch (execBox(QMessageBox::Warning, caption, text,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
        case QMessageBox::Save:
            return SaveChoice::Save;
        case QMessageBox::Discard:
            return SaveChoice::Discard;
        default:
            return SaveChoice::Cancel;
        }
    }

    bool prompt(const QString& caption, const QString& label, QString& value, int maxLength,
                Echo echo) override {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(caption);
        dialog.setLabelText(label);
        dialog.setTextEchoMode(echo == Echo::Masked ? QLineEdit::Password : QLineEdit::Normal);
        dialog.setTextValue(value);
        if (auto* edit = dialog.findChild<QLineEdit*>()) {
            edit->setMaxLength(maxLength);
        }
        if (auto* text = dialog.findChild<QLabel*>()) {
            text->setTextFormat(Qt::PlainText);
        }
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        value = dialog.textValue();
        return true;
    }

    bool openFile(QWidget* parent, const QString& filter, QString& fileName,
                  QString& selectedFilter) override {
        const QString dir = fileName.isEmpty() ? QString() : QFileInfo(fileName).absoluteFilePath();
        QString type = selectedFilter;
        const QString chosen = QFileDialog::getOpenFileName(parent, QString(), dir, filter, &type);
        if (chosen.isEmpty()) {
            return false;
        }
        fileName = chosen;
        selectedFilter = type;
        return true;
    }

    bool saveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                  QString& fileName) override {
        QFileDialog dialog(parent, QString(), fileName, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return false;
        }
        fileName = dialog.selectedFiles().constFirst();
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
