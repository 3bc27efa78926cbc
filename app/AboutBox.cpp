#include "app/AboutBox.h"

#include "toolkit/Dialogs.h"
#include "toolkit/Shell.h"

#include <QMouseEvent>
#include <QScreen>

// The resources live in a static library; make sure they are registered.
static void initResources() {
    Q_INIT_RESOURCE(veldmark);
}

const QString TAboutBox::ProductTitle = QStringLiteral("QRV: Veldmark");
const QString TAboutBox::AuthorMail = QStringLiteral("dorian@qrv.example");

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    initResources();
    setupUi(this);
    // A small caption bar with a close button only.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(360, 223);
    ProgramIcon->adjustSize(); // the control takes the picture's size
    lblURL->installEventFilter(this);
    StaticText1->installEventFilter(this);
    centreOnScreen();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::ShowAboutBox() {
    TAboutBox box;
    tk::Dialogs::current().showModal(box);
}

void TAboutBox::lblURLClick() {
    tk::shellOpen(lblURL->text());
}

void TAboutBox::StaticText1Click() {
    // The subject goes in as it is, without URL encoding.
    tk::shellOpen(QStringLiteral("mailto:") + AuthorMail + QStringLiteral("?subject=") +
                  ProductTitle);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
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

void TAboutBox::centreOnScreen() {
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
}
