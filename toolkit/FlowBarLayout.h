#pragma once

#include <QLayout>
#include <QList>

namespace tk {

// A bar of panels side by side that wraps onto more rows when its width is
// too small for them all, so that no panel covers another or is cut. In a
// row, panels that may grow share the room left (up to their maximum
// width); what remains goes before the row's last panel, which so stands at
// the right end.
class FlowBarLayout : public QLayout {
public:
    explicit FlowBarLayout(QWidget* parent = nullptr);
    ~FlowBarLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (when `apply`); returns the height used.
    int arrange(const QRect& rect, bool apply) const;
    void placeRow(const QList<QLayoutItem*>& row, int x, int y, int width, int height,
                  bool apply) const;

    QList<QLayoutItem*> items_;
};

} // namespace tk
