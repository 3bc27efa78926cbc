#include "toolkit/ErrorReport.h"

#include "data/service/Errors.h"
#include "toolkit/Dialogs.h"

namespace tk {
namespace {

QString& title() {
    static QString t;
    return t;
}

} // namespace

void setApplicationTitle(const QString& t) {
    title() = t;
}

QString applicationTitle() {
    return title();
}

void reportError(const QString& message) {
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) {
        text += QLatin1Char('.');
    }
    Dialogs::current().message(MessageKind::Error, applicationTitle(), text);
}

bool isCancellation(const std::exception& e) {
    const auto* error = dynamic_cast<const vdata::DataError*>(&e);
    return error && error->kind() == vdata::ErrorKind::Cancelled;
}

void reportError(const std::exception& e) {
    if (isCancellation(e)) {
        return;
    }
    reportError(QString::fromUtf8(e.what()));
}

} // namespace tk
