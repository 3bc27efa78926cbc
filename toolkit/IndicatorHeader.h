#pragma once

#include <QHeaderView>

namespace tk {

// The grid's column of record indicators ("▶", "✎", "*"). It is as wide as
// its widest glyph whatever the rows: Qt's header measures a hundred rows
// at each end every time rows are added, which costs more than reading them
// when a big result grows in steps.
class IndicatorHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit IndicatorHeader(QWidget* parent);
    QSize sizeHint() const override;
};

} // namespace tk
