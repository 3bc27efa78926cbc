#pragma once

#include <QTableView>

#include <QPoint>
#include <QPointer>

#include <exception>
#include <functional>

class QAction;
class QMenu;

namespace vdata {
class DataSource;
class Query;
} // namespace vdata

namespace tk {

class DatasetModel;
class GridCellDelegate;
class ValueViewer;

// A data-aware grid: a table view over a DatasetModel bound to a data source.
// The vertical header is the record indicator column. Moving to another row
// posts a pending edit (a refused post is reported and the row stays current
// with the typed values); Esc cancels it. The view's current row follows the
// query and a click moves the query. Ctrl+C copies the selected cells; the
// context menu offers Copy and Export to CSV.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setDataSource(vdata::DataSource* source);
    vdata::DataSource* dataSource() const { return dataSource_; }
    vdata::Query* dataSet() const;
    DatasetModel* datasetModel() const { return model_; }

    // The column's field name (0-based data column); empty when none.
    QString fieldName(int column) const;

    void setTitleBold(bool bold);

    // Grid coordinates of a point in the grid's own coordinates: column 0 is
    // the indicator column, row 0 the title row; -1 outside the cells.
    QPoint cellAt(int x, int y) const;

    // Posts a pending edit, with what an open cell editor holds. Reports a
    // refusal and returns false, leaving the query in its edit state with the
    // typed values.
    bool postPending();
    // The same, but a failed post goes to `failed` instead of the default
    // report, and its answer is returned.
    bool postPending(const std::function<bool(const std::exception&)>& failed);
    // Hands what an open cell editor holds to the record and closes the
    // editor. A refused value keeps the editor open with the typed text.
    bool commitOpenEditor();

    // The selected cells as tab-separated text, rows in display order: one
    // line per row, with a line of field names first when the selection is of
    // whole columns. A single cell gives its text alone. NULL is an empty
    // field, binary data the grid's placeholder; a field with a tab, a line
    // break or a quote is put in quotes with inner quotes doubled, as
    // spreadsheets read it.
    QString selectionText() const;
    // Puts selectionText() on the clipboard (nothing when nothing is selected).
    void copySelection();
    // Posts a pending edit, then writes the result to a CSV file the user
    // chooses (see tk::exportToCsv).
    void exportToCsv();
    QAction* copyAction() const { return copyAction_; }
    QAction* exportAction() const { return exportAction_; }
    // Ctrl+0 and the context menu's "Set to NULL".
    void setCurrentCellNull();
    QAction* nullAction() const { return nullAction_; }

    // Gives the keyboard to the next (previous) control of the grid's window
    // that takes it, around its end (Ctrl+Tab, Ctrl+Shift+Tab).
    void leaveGrid(bool forward);

    using QTableView::edit;

signals:
    // A title was clicked; the column's field name.
    void titleClick(QObject* sender, const QString& fieldName);
    // The pointer moved over the grid, in the grid's own coordinates.
    void mouseMove(QObject* sender, Qt::KeyboardModifiers shift, int x, int y);
    // A key went down; a handler may change `key` (0 drops it).
    void keyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift);
    // The rows were written to `fileName` as CSV.
    void exported(const QString& fileName, int rows);
    // The context menu is about to show: a handler may add its own items.
    void contextMenuOpening(QMenu* menu);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void followRowCount(int oldCount, int newCount);
    void followQuery(int row);
    bool moveQueryTo(int row);
    void watchForPointer(QWidget* w);
    bool titleDoubleClickIsPress(QEvent* event);
    void onTitleClicked(int section);
    void fitColumns();
    void widenForShownNumbers();
    bool startRecordEdit(const QModelIndex& index);
    void showValue(const QModelIndex& index, const QString& reason);
    void followState();
    void syncSortIndicator();

    DatasetModel* model_;
    GridCellDelegate* delegate_;
    QPointer<QWidget> keptEditor_; // an editor kept open after a refused value
    vdata::DataSource* dataSource_ = nullptr;
    int syncing_ = 0;          // > 0 while the view follows the query
    QStringList fittedTitles_; // the columns whose widths were last fitted
    // Rows measured when columns are fitted: the first ones and the last.
    static constexpr int fittedRows = 50;
    static constexpr int fittedLastRows = 10;
    QAction* copyAction_;
    QAction* exportAction_;
    QAction* nullAction_;
    QPointer<ValueViewer> viewer_; // the one viewer of values this grid opened
};

} // namespace tk
