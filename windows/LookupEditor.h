#pragma once

#include "windows/LookupRows.h"

#include <QLineEdit>
#include <QListView>
#include <QPointer>

// The cell editor of a foreign-key column: the key, typed as in any cell,
// over a list of the referenced rows that follows what is typed. Up and Down
// (Page Up, Page Down) move in the list and take the key of the row they
// reach; a click on a row takes its key. The list stands below the cell
// (above it near the grid's bottom) and goes with the editor.
class LookupEditor : public QLineEdit {
    Q_OBJECT
public:
    LookupEditor(vdata::Connection& connection, LookupRows::Source source, QWidget* parent);
    ~LookupEditor() override;

    QListView* list() const { return list_; }
    LookupRows* rows() const { return rows_; }

    static constexpr int shownRows = 8;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void step(int rows);
    void take(const QModelIndex& index);
    void placeList();

    LookupRows* rows_;
    QPointer<QListView> list_;
};
