#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class DataSetPanel;
class QWidget;

// A row of a data window's grid: where the user was or went.
struct RowPlace {
    QPointer<DataSetPanel> panel;
    int row = -1;
    int column = 0;
};

// The rows a main window's references led through, for going back (Alt+Left)
// and forward again (Alt+Right) as in a web browser. Places in windows that
// have closed since are skipped.
class RowHistory : public QObject {
    Q_OBJECT
public:
    // Adds the two keys to `window`.
    explicit RowHistory(QWidget* window);

    // The user followed a reference from `from` to `to`; what was ahead of
    // the current place is dropped.
    void followed(const RowPlace& from, const RowPlace& to);
    void back() { step(-1); }
    void forward() { step(1); }

    // The panel's current row and column.
    static RowPlace placeOf(DataSetPanel& panel);
    // Brings the place's window forward with the place's row current.
    static void show(const RowPlace& place);

private:
    void step(int by);
    void dropClosed();

    std::vector<RowPlace> places_;
    int index_ = -1;
};
