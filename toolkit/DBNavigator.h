#pragma once

#include <QIcon>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>

class QToolButton;
namespace vdata {
class DataSource;
class Query;
} // namespace vdata

namespace tk {

// A bar of ten dataset buttons whose enabled states follow the dataset. A
// before-action hook runs before a button's own action; when it returns false
// the action does not run (the hook did the work itself or refused it), and
// an exception from it goes to the default error report.
class DBNavigator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int visibleButtons READ visibleButtons WRITE setVisibleButtons)
    Q_PROPERTY(QStringList hints READ hints WRITE setHints)
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int buttonCount = 10;
    static constexpr int allButtons = (1 << buttonCount) - 1;
    static constexpr int bit(Button b) { return 1 << b; }

    explicit DBNavigator(QWidget* parent = nullptr);
    ~DBNavigator() override;

    void setDataSource(vdata::DataSource* source);
    vdata::DataSource* dataSource() const { return dataSource_; }
    vdata::Query* dataSet() const;

    // Bit i shows button i.
    int visibleButtons() const { return visible_; }
    void setVisibleButtons(int mask);

    QToolButton* button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
    void setCaption(int index, const QString& caption);
    QString caption(int index) const;
    // Hint texts are kept with the buttons; they are not shown as tooltips.
    void setHint(int index, const QString& hint);
    QString hint(int index) const;
    QStringList hints() const;
    void setHints(const QStringList& hints); // in button order
    // A glyph (its normal and disabled images) drawn above the caption when
    // `above`, beside it otherwise.
    void setGlyph(int index, const QIcon& glyph, bool above);

    std::function<bool(DBNavigator*, int button)> beforeAction;

    // Runs a button as a click does (the hook, then the button's own action).
    void click(int index);
    // Re-evaluates the enabled states from the dataset.
    void updateButtons();

private:
    struct Extra {
        QString hint;
    };
    void runAction(int index);
    void focusGrid();
    void watch(vdata::Query* query);

    std::array<QToolButton*, buttonCount> buttons_{};
    std::array<Extra, buttonCount> extra_{};
    int visible_ = allButtons;
    vdata::DataSource* dataSource_ = nullptr;
    vdata::Query* watched_ = nullptr;
    int subscription_ = 0;
};

} // namespace tk
