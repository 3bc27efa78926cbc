#pragma once

#include <QString>

#include <string>

namespace tk {

// The service speaks UTF-8 std::string, the windows QString.
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string ss(const QString& s) {
    return s.toStdString();
}

} // namespace tk
