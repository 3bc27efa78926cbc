// The real message boxes and the prompt: texts from data are shown as typed,
// and a box is wide enough for its caption.

#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// What a box showed: its caption, its width and each label with markup.
struct Seen {
    QString caption;
    int width = 0;
    QList<Qt::TextFormat> markupLabels;
    bool masked = false; // a line edit shows dots
};

// Runs `show`, which opens a modal dialog, looks at the dialog while it is up
// and closes it.
Seen whileShown(const std::function<void()>& show) {
    Seen seen;
    QTimer::singleShot(0, [&seen] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen.caption = dialog->windowTitle();
        seen.width = dialog->width();
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().contains(QStringLiteral("<b>")))
                seen.markupLabels << label->textFormat();
        }
        for (const QLineEdit* edit : dialog->findChildren<QLineEdit*>())
            seen.masked = seen.masked || edit->echoMode() == QLineEdit::Password;
        dialog->reject();
    });
    show();
    return seen;
}

// The room a title bar needs for the caption besides icon and buttons.
int captionWidth(const QString& caption) {
    return QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(caption) +
           3 * QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { tk::setApplicationTitle(QStringLiteral("QRV Veldmark: a long title")); }

    void textsShowAsTypedInBoxesWideEnoughForTheirCaption_data() {
        QTest::addColumn<std::function<void()>>("show");
        const QString text = QStringLiteral("<b>x</b>");
        QTest::newRow("message") << std::function<void()>(
            [text] { tk::showMessage(tk::MessageKind::Information, text); });
        QTest::newRow("default error report")
            << std::function<void()>([text] { tk::reportError(text); });
        QTest::newRow("confirmation") << std::function<void()>(
            [text] { tk::Dialogs::current().confirm(QStringLiteral("Confirm"), text); });
        QTest::newRow("prompt") << std::function<void()>([text] {
            QString value;
            tk::Dialogs::current().prompt(QStringLiteral("MDB with password"), text, value, 255,
                                          tk::Dialogs::Echo::Masked);
        });
    }
    void textsShowAsTypedInBoxesWideEnoughForTheirCaption() {
        QFETCH(std::function<void()>, show);
        const Seen seen = whileShown(show);
        QVERIFY(!seen.caption.isEmpty());
        QVERIFY2(
            seen.width >= captionWidth(seen.caption),
            qPrintable(QStringLiteral("%1 < %2").arg(seen.width).arg(captionWidth(seen.caption))));
        QCOMPARE(seen.markupLabels, QList<Qt::TextFormat>({Qt::PlainText}));
        // The password prompt, the one prompt, hides what is typed.
        QCOMPARE(seen.masked, QTest::currentDataTag() == QByteArray("prompt"));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
