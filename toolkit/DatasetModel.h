#pragma once

#include "toolkit/ColumnKeys.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace vdata {
class Query;
struct DataEvent;
} // namespace vdata

namespace tk {

// A table model over a query's snapshot. Cells are read on demand in constant
// time; the model follows the query through its change notifications. Edits go
// through the query's fields, so the query enters edit (or stays inserting).
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Shown for a NULL (greyed) and for a binary value.
    static const QString nullText;
    static const QString blobText;
    // Why a cell that shows binary data or text that is not valid UTF-8 is
    // read-only: what the grid shows of it is not the value.
    static const QString notEditableText;
    // Why a text with a line longer than editLineLimit is read-only: a text
    // box lays out a line whole, and one that long would hang the program.
    static const QString lineTooLongText;
    static constexpr std::size_t editLineLimit = 1 << 20;

    // A cell shows at most this many bytes of a text's first line, so a long
    // value costs the grid no more than a short one.
    static constexpr std::size_t displayLimit = 4096;
    // Data role: true when the cell is edited in the multi-line editor (a
    // long-text column, or a value with a line break or longer than it shows).
    static constexpr int LongTextRole = Qt::UserRole + 1;

    // What a cell shows of a text: its first line, at most displayLimit bytes
    // cut at a character boundary, with "…" when anything was left out.
    static QString shownText(std::string_view utf8);
    // Why the cell cannot be edited in the grid; empty when it can.
    QString notEditableReason(const QModelIndex& index) const;
    // Whether the cell holds a line too long for any text box.
    bool hasOverlongLine(const QModelIndex& index) const;

    explicit DatasetModel(QObject* parent = nullptr);
    ~DatasetModel() override;

    // Follows `query` (not owned); nullptr detaches. Detach before the query
    // is destroyed.
    void setQuery(vdata::Query* query);
    vdata::Query* query() const { return query_; }

    // Asked before the query posts: hands over what a cell editor still holds;
    // false (the value was refused) stops the post without another message.
    void setEditorCommit(std::function<bool()> commit) { editorCommit_ = std::move(commit); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Writes the text through the field; a refused value goes to the default
    // error report and returns false.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Gives the cell NULL, written with the row like a typed value; a cell
    // that cannot be edited is refused with the reason. False when refused.
    bool setNull(const QModelIndex& index);

    // True while the model is passing on a change of the query; a view must
    // not move the query in answer to its own adjustments then.
    bool applyingQueryChange() const { return applying_ > 0; }

    // The record indicator of a row: "▶" current, "✎" editing, "*" inserting.
    QString indicator(int row) const;

signals:
    // The query's current row changed (0-based, -1 when none).
    void currentRowChanged(int row);
    // The query changed state (browse, edit, insert, inactive).
    void stateChanged();

private:
    void onEvent(const vdata::DataEvent& e);
    void handle(const vdata::DataEvent& e);
    void resetAll();
    void showReadRows();
    void readKeyNotes();
    void syncRowCount(int hint);
    void refreshIndicators();
    bool cellEditable(int row, int column) const;
    bool isLongText(int row, int column) const;
    QVariant toolTip(int row, int column) const;
    QVariant titleData(int section, int role) const;
    static constexpr std::size_t toolTipPlainLength = 40; // shorter one-line texts need none
    static constexpr std::size_t toolTipLimit = 1000;
    static constexpr qsizetype toolTipLines = 10;
    bool textCellEditable(int row, int column) const;

    vdata::Query* query_ = nullptr;
    int subscription_ = 0;
    int rows_ = 0;
    // Rows read in steps and not shown yet: a view does work for every row
    // whenever rows are added, so they are added in growing batches.
    int readRows_ = 0;
    int indicatorRow_ = -1; // the row whose indicator was last painted
    int columns_ = 0;
    int insertRow_ = -1; // the row the model shows for a pending insert
    int applying_ = 0;
    std::function<bool()> editorCommit_;
    // Whether long text cells can be edited (valid UTF-8, no line too long),
    // per cell until the query changes: checking a long value is too slow to
    // repeat on every paint.
    mutable std::unordered_map<std::uint64_t, bool> longTextChecked_;
    static constexpr int fewestRowsShown = 50000;
    // The declared keys' mark and tooltip of each column title.
    std::vector<ColumnKeyNote> keyNotes_;
};

} // namespace tk
