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

// A name as it is shown in one line: each control character (U+0000 to
// U+001F, U+007F) written as an escape, \n, \r, \t or \xNN. Only for showing;
// SQL takes the name itself.
QString visibleControls(const QString& name);

} // namespace tk
