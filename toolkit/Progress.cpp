#include "toolkit/Progress.h"

#include "toolkit/ErrorReport.h"

#include <QApplication>
#include <QCursor>
#include <QLocale>
#include <QProgressDialog>

#include <malloc.h>

namespace tk {
namespace {

// The guard the work reports to, if any.
ProgressGuard*& activeGuard() {
    static ProgressGuard* guard = nullptr;
    return guard;
}

int showAfter = 500;
constexpr qint64 trimAfterMs = 100;

} // namespace

bool ProgressGuard::working() {
    return activeGuard() != nullptr;
}

int ProgressGuard::showAfterMs() {
    return showAfter;
}

void ProgressGuard::setShowAfterMs(int ms) {
    showAfter = ms;
}

ProgressGuard::ProgressGuard(QWidget* parent, QString what)
    : parent_(parent), what_(std::move(what)) {
    if (activeGuard()) {
        return;
    }
    activeGuard() = this;
    started_.start();
    scope_.emplace([this](std::size_t done) { return report(done); });
}

ProgressGuard::~ProgressGuard() {
    if (activeGuard() != this) {
        return;
    }
    scope_.reset();
    activeGuard() = nullptr;
    // Long work (a big result read, sorted or searched) leaves what it freed
    // (rows read before, sort entries, growth copies) with the allocator;
    // it goes back to the system, so the program holds what it shows.
    if (started_.elapsed() >= trimAfterMs) {
        malloc_trim(0);
    }
    if (shown_) {
        delete dialog_.data();
        QApplication::restoreOverrideCursor();
    }
}

// Cheap until the dialog is due: one look at the clock per call.
bool ProgressGuard::report(std::size_t done) {
    if (cancelled_) {
        return false;
    }
    const qint64 now = started_.elapsed();
    if (now < showAfter || now - lastUpdate_ < updateEveryMs) {
        return true;
    }
    lastUpdate_ = now;
    if (!shown_) {
        showDialog();
    }
    if (!dialog_) {
        return true; // its window was destroyed meanwhile
    }
    dialog_->setLabelText(
        QStringLiteral("%1: %2").arg(what_, QLocale().toString(static_cast<qulonglong>(done))));
    QCoreApplication::processEvents();
    cancelled_ = dialog_->wasCanceled();
    return !cancelled_;
}

// Application-modal: while the work runs, nothing else of the program takes
// input, so no window can close or start other work under it.
void ProgressGuard::showDialog() {
    dialog_ = new QProgressDialog(parent_ ? parent_->window() : nullptr);
    dialog_->setWindowTitle(applicationTitle());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setRange(0, 0); // the total is not known: a busy indicator
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setMinimumDuration(0);
    // A busy cursor set for the work would hide that Cancel can be pressed.
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    dialog_->show();
    shown_ = true;
}

} // namespace tk
