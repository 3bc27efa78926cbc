#include "toolkit/IndicatorHeader.h"

#include <QStyle>

#include <algorithm>

namespace tk {

IndicatorHeader::IndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

QSize IndicatorHeader::sizeHint() const {
    int glyphs = 0;
    for (const QString& glyph :
         {QStringLiteral("\u25B6"), QStringLiteral("\u270E"), QStringLiteral("*")}) {
        glyphs = std::max(glyphs, fontMetrics().horizontalAdvance(glyph));
    }
    const int margins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    return {std::max(minimumWidth(), glyphs + margins + 2), defaultSectionSize()};
}

} // namespace tk
