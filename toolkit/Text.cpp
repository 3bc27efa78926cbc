#include "toolkit/Text.h"

namespace tk {

QString visibleControls(const QString& name) {
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7F) {
            shown += c;
        } else if (u == '\n') {
            shown += QLatin1String("\\n");
        } else if (u == '\r') {
            shown += QLatin1String("\\r");
        } else if (u == '\t') {
            shown += QLatin1String("\\t");
        } else {
            shown += QLatin1String("\\x") +
                     QString::number(u, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        }
    }
    return shown;
}

} // namespace tk
