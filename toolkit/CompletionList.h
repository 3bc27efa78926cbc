#pragma once

#include <QListView>

class QStringListModel;

namespace tk {

// The list of what completion offers, shown at a point beside the text
// being typed. It never takes the keyboard: its owner passes it the keys
// that move through it. Rows have one height, so a list of thousands shows
// as fast as one of ten.
class CompletionList : public QListView {
    Q_OBJECT
public:
    explicit CompletionList(QWidget* owner);

    // Shows `items` with the first one current, its top left at `at`
    // (global), or above `above` (global y) when the screen ends below.
    void offer(const QStringList& items, QPoint at, int above);
    QString current() const;
    // Moves the current row by `rows` (negative: up), within the list.
    void move(int rows);
    int pageRows() const;

signals:
    void chosen(const QString& text);

private:
    QStringListModel* model_;
};

} // namespace tk
