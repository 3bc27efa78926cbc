#pragma once

#include <QIcon>
#include <QStyle>

namespace tk {

// A two-image glyph (normal and disabled) from a standard icon of the
// application's style. Made once per icon and shared: every new icon would
// leave its own scaled copies in Qt's pixmap cache, so windows opened and
// closed for a long time would fill it.
QIcon twoImageGlyph(QStyle::StandardPixmap which);

} // namespace tk
