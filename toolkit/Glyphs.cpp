#include "toolkit/Glyphs.h"

#include <QApplication>
#include <QHash>
#include <QStyleOption>

namespace tk {

QIcon twoImageGlyph(QStyle::StandardPixmap which) {
    // Kept for the whole run and never destroyed: pixmaps must not outlive
    // the application object, which static destruction would make them do.
    static auto* const made = new QHash<int, QIcon>;
    if (const auto found = made->constFind(which); found != made->constEnd()) {
        return *found;
    }
    QStyle* style = QApplication::style();
    const QPixmap normal = style->standardIcon(which).pixmap(16, 16);
    QStyleOption option;
    QIcon glyph;
    glyph.addPixmap(normal, QIcon::Normal);
    glyph.addPixmap(style->generatedIconPixmap(QIcon::Disabled, normal, &option), QIcon::Disabled);
    made->insert(which, glyph);
    return glyph;
}

} // namespace tk
