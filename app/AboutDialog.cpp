#include "app/AboutDialog.h"

#include "toolkit/Dialogs.h"
#include "toolkit/Shell.h"

#include <QMouseEvent>
#include <QScreen>

// The resources live in a static library; make sure they are registered.
static void initResources() {
    Q_INIT_RESOURCE(veldmark);
}

const QString AboutDialog::ProductTitle = QStringLiteral("QRV: Veldmark");
const QString AboutDialog::AuthorMail = QStringLiteral("dorian@qrv.example");

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    initResources();
    setupUi(this);
    connect(OKButton, &QAbstractButton::clicked, this, &QDialog::accept);
    // A small caption bar with a close button only.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(360, 223);
    ProgramIcon->adjustSize(); // the control takes the picture's size
    lblURL->installEventFilter(this);
    StaticText1->installEventFilter(this);
    centreOnScreen();
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::ShowAboutBox() {
    AboutDialog box;
    tk::Dialogs::current().showModal(box);
}

void AboutDialog::lblURLClick() {
    tk::shellOpen(lblURL->text());
}

void AboutDialog::StaticText1Click() {
    // The subject goes in as it is, without URL encoding.
    tk::shellOpen(QStringLiteral("mailto:") + AuthorMail + QStringLiteral("?subject=") +
                  ProductTitle);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == lblURL) {
            lblURLClick();
            return true;
        }
        if (watched == StaticText1) {
            StaticText1Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutDialog::centreOnScreen() {
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
}
