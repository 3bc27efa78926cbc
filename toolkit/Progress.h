#pragma once

#include "data/service/Progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <optional>

class QProgressDialog;
class QWidget;

namespace tk {

// While it lives, long work of the data service in this thread (reading a
// result, sorting, searching) reports to it. Once the work has taken half a
// second, a modal progress dialog shows "<what>: N" with a Cancel button and
// the application keeps painting; Cancel stops the work, which then raises
// vdata::DataError with ErrorKind::Cancelled. A guard made while another
// one lives leaves the work to the outer one.
class ProgressGuard {
public:
    explicit ProgressGuard(QWidget* parent, QString what = QStringLiteral("Rows read"));
    ~ProgressGuard();
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;

    // How long the work runs before the dialog shows (half a second unless
    // set), and how often the dialog is updated after that.
    static int showAfterMs();
    static void setShowAfterMs(int ms);
    static constexpr int updateEveryMs = 50;
    // Whether long work reports to a guard now.
    static bool working();

private:
    bool report(std::size_t done);
    void showDialog();

    QPointer<QWidget> parent_;
    QString what_;
    QElapsedTimer started_;
    qint64 lastUpdate_ = -updateEveryMs;
    bool cancelled_ = false;
    QPointer<QProgressDialog> dialog_;
    bool shown_ = false;
    std::optional<vdata::ProgressScope> scope_;
};

} // namespace tk
