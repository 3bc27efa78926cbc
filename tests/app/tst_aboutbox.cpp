#include "app/AboutDialog.h"
#include "toolkit/Shell.h"
#include "ui_AboutDialog.h"

#include "tests/support/ScriptedDialogs.h"

#include <QPushButton>
#include <QTest>

#include <stdexcept>

namespace {

// Records what would have been handed to the desktop shell.
class RecordingShell : public tk::Shell {
public:
    RecordingShell() { install(this); }
    ~RecordingShell() override { install(nullptr); }
    void open(const QString& target) override { opened << target; }
    QStringList opened;
};

const QString ExpectedMailLink = QStringLiteral("mailto:dorian@qrv.example?subject=QRV: Veldmark");

} // namespace

class TestAboutBox : public QObject {
    Q_OBJECT

private slots:
    void showsTheLayoutModallyAndDiscardsTheBox() {
        ScriptedDialogs dialogs;
        QPointer<QDialog> shown;
        QStringList seen;
        dialogs.modalScripts.push_back([&](QDialog& dialog) {
            shown = &dialog;
            const auto& box = static_cast<AboutDialog&>(dialog);
            const QSize picture = box.ProgramIcon->pixmap().size(); // the picture is there
            seen << box.ProductName->text() << box.lblURL->text()
                 << QString::number(dialog.parent() == nullptr)
                 << QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height());
            box.OKButton->click();
            return -1;
        });
        AboutDialog::ShowAboutBox();
        QCOMPARE(dialogs.count(QStringLiteral("modal")), 1);
        QCOMPARE(dialogs.shown[0].caption, QStringLiteral("QRV: Veldmark"));
        QCOMPARE(seen, (QStringList{"QRV: Veldmark", "https://www.qrv-software.example/veldmark",
                                    "1", "106x58"}));
        QVERIFY(shown.isNull()); // discarded after closing

        // Also when showing fails.
        dialogs.modalScripts.push_back([&shown](QDialog& dialog) -> int {
            shown = &dialog;
            throw std::runtime_error("cannot show");
        });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, AboutDialog::ShowAboutBox());
        QVERIFY(shown.isNull());
    }

    // Left clicks on the two links reach the shell with the exact targets;
    // other labels and buttons do nothing.
    void linksGoToTheShellExactly() {
        RecordingShell shell;
        AboutDialog box;
        QTest::mouseClick(box.StaticText1, Qt::LeftButton);
        QTest::mouseClick(box.lblURL, Qt::LeftButton);
        QTest::mouseClick(box.ProductName, Qt::LeftButton);
        QTest::mouseClick(box.lblURL, Qt::RightButton);
        QCOMPARE(shell.opened,
                 (QStringList{ExpectedMailLink, "https://www.qrv-software.example/veldmark"}));
    }
};

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
