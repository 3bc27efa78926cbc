#include "toolkit/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace tk {
namespace {

class DesktopShell : public Shell {
public:
    void open(const QString& target) override {
        // Tolerant parsing percent-encodes what a URL cannot hold as it
        // stands, such as the blank in a mail subject.
        QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
    }
};

Shell* installed = nullptr;

} // namespace

Shell& Shell::current() {
    static DesktopShell desktop;
    return installed ? *installed : desktop;
}

void Shell::install(Shell* s) {
    installed = s;
}

void shellOpen(const QString& target) {
    Shell::current().open(target);
}

} // namespace tk
