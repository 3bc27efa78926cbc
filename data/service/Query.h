#pragma once

#include "data/service/DataEvent.h"
#include "data/service/DataSource.h"
#include "data/service/EditBuffer.h"
#include "data/service/Engine.h"
#include "data/service/Field.h"
#include "data/service/Locate.h"
#include "data/service/MasterLink.h"
#include "data/service/RowReader.h"
#include "data/service/RowSet.h"

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vdata {

class Connection;

enum class DataSetState { Inactive, Browse, Edit, Insert };

// A sort text taken apart: "Field", "Field ASC" or "Field DESC" (the word
// in any letter case) names the field and the direction.
struct SortKey {
    std::string field;
    bool descending = false;
};
SortKey parseSort(std::string_view text);

// A dataset over a statement or a table view: the cursor and the edit
// buffer over the rows read (a RowSet, filled in steps by a RowReader),
// linked to a master through a MasterLink. The record order is the display
// order (after sorting); rows are addressed 0-based for the grid, records
// 1-based for the user.
class Query {
public:
    explicit Query(Connection* connection = nullptr);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // The component's name; handlers tell the child set by it.
    std::string name;

    void setConnection(Connection* c) { connection_ = c; }
    Connection* connection() const { return connection_; }

    // The SQL text; setting it closes nothing and is read back verbatim.
    void setSQL(std::string text);
    const std::string& sql() const { return sql_; }
    // Reads every row of a table instead of a statement (sql() then gives
    // the read's text): an open shows the first rows at once and the rest
    // are read in steps (see readMore).
    void setTableView(TableRead read);

    // Reading in steps. While reading() the rows read so far are shown and
    // can be moved through and edited; readMore appends up to `maxRows` more
    // and returns whether rows remain. A failed step stops the read, keeps
    // the rows read and raises. Sorting, filtering and searching read the
    // rest first (readAll, which the progress callback may cancel: the read
    // then stops, keeping the rows read, and raises the cancellation).
    // stopReading ends the read early; readStopped() tells until the next
    // read. Closing or reading again ends the read.
    bool reading() const { return reader_.reading(); }
    bool readStopped() const { return reader_.stopped(); }
    bool readMore(std::size_t maxRows);
    void readAll();
    void stopReading();
    // The rows an open reads before it returns when it reads in steps.
    static constexpr std::size_t firstRows = 1000;
    // The parameter names found in the text, in order.
    const std::vector<std::string>& parameterNames() const { return paramNames_; }

    // The master link: a detail's data source is its master's. While linked,
    // the master posts the detail's pending change before it moves, reads
    // again, posts or deletes; a refusal stops the master where it is.
    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return link_.source(); }
    // The fields a new record takes from the master: each pair names a
    // parameter (a master field) and the field of this query that receives
    // its value. Without pairs a parameter fills the field of its own name.
    using LinkFields = MasterLink::Pairs;
    void setLinkFields(LinkFields pairs) { link_.setPairs(std::move(pairs)); }
    const LinkFields& linkFields() const { return link_.pairs(); }
    // The master field a parameter takes its value from when the two names
    // differ (a field name that cannot follow ':' in the text); any other
    // parameter takes the master field of its own name.
    using ParameterFields = std::map<std::string, std::string>;
    void setParameterFields(ParameterFields fields) { parameterFields_ = std::move(fields); }

    void open();
    void close();
    bool active() const { return state_ != DataSetState::Inactive; }
    DataSetState state() const { return state_; }

    int fieldCount() const { return static_cast<int>(fields_.size()); }
    Field& field(int index) const { return *fields_.at(index); }
    std::shared_ptr<Field> fieldPtr(int index) const { return fields_.at(index); }
    Field* findField(const std::string& name) const;   // letter case ignored
    Field& fieldByName(const std::string& name) const; // raises when missing
    const std::vector<ColumnInfo>& columns() const { return columns_; }

    int recNo() const;                          // 1-based; -1 when empty or inserting
    int recordCount() const;                    // records in the result
    int currentRow() const { return current_; } // 0-based display row, -1 when none
    bool isEmpty() const { return recordCount() == 0; }

    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row); // 0-based display row

    // Editing; the navigator and the grid call these.
    bool canModify() const; // false for read-only results
    std::string readOnlyReason() const { return readOnly_; }
    // Why the values of `column` cannot be changed in any record (a column
    // the database computes); empty when they can.
    std::string columnReadOnlyReason(int column) const;
    // The table whose rows the result shows and writes back; empty when its
    // columns do not all come from one table.
    std::string editableTable() const;
    void insert();
    void append();
    void edit();
    // A write committed but not read back ends the edit with the row as
    // written, then raises RowNotReadBack.
    void post();
    // After a post refused because someone else changed the row, also reads
    // the rows again.
    void cancel();
    void remove();
    bool modified() const { return edit_.modified(); }

    // Posts a pending edit, runs the statement again, makes the first record
    // current and fires after-scroll.
    void requery();
    // Reads the rows again, keeping the current position when it still exists.
    void refresh();

    // First record (in display order) whose field matches: text fields by
    // beginning (letter case ignored), integers and dates by equality.
    // Raises DataError when the text cannot be compared with the field.
    bool locate(const std::string& fieldName, const std::string& text, LocateOptions options = {});
    // The same from a display row on in a direction, around the end (see
    // LocateStart): the row found, made current, or -1 (nothing moves).
    int locateFrom(const std::string& fieldName, const std::string& text, LocateStart start,
                   LocateOptions options = {});

    // "Field" or "Field DESC" (see parseSort); empty for the result's own order.
    const std::string& sort() const { return sort_; }
    void setSort(const std::string& text);

    // Shows only the rows read that meet `text` (see RowFilter), kept on
    // through a re-query; an empty text shows every row again, in the order
    // they had. The current record stays current while it is shown. A text
    // that cannot be read raises DataError and changes nothing.
    void setFilter(const std::string& text);
    const std::string& filter() const { return filter_; }

    // Grid access, constant time per cell. Rows are display rows; while
    // inserting, the new row stands at insertRow().
    int displayRowCount() const;
    int insertRow() const { return state_ == DataSetState::Insert ? current_ : -1; }
    Value cell(int row, int column) const;
    std::string cellText(int row, int column) const;
    // The cell as the grid shows it: a decimal with the digits its column
    // declares after the point (cellText gives the value as stored).
    std::string shownText(int row, int column) const;
    // A cell's kind and, for text and blobs, its bytes without a copy; the
    // view lasts until the query changes. For showing part of a long value.
    Value::Kind cellKind(int row, int column) const;
    std::string_view cellBytes(int row, int column) const;

    // Value of the current record's field (edit buffer when editing).
    Value currentValue(int column) const;
    void setCurrentValue(int column, const Value& v);

    // Fired after another record became current (and once on open when the
    // result has rows).
    std::function<void(Query&)> afterScroll;

    // Observers for grids, navigators and details; a grid's model
    // subscribes as a model, to hear of each change before the others.
    int subscribe(std::function<void(const DataEvent&)> observer,
                  DataObservers::Tier tier = DataObservers::Tier::Other) {
        return observers_.subscribe(std::move(observer), tier);
    }
    void unsubscribe(int id) { observers_.unsubscribe(id); }

private:
    friend class Field;
    friend class MasterLink;

    void notify(DataEvent::Kind kind, int row = -1, int field = -1);
    void notify(const DataEvent& e) { observers_.notify(e); }
    const Value* bufferedCell(int row, int column) const;
    bool hasRow(int row) const;
    std::size_t snapshotRow(int row) const;
    SteppedResult run();
    void take(SteppedResult result);
    void appendRead(std::size_t before);
    std::vector<Value> parameterValues() const;
    std::vector<std::string> masterFields() const;
    bool keepRowsUnchangedSinceOpen();
    void buildFields();
    std::optional<SortColumn> sortColumn() const;
    void showOrder(int keepRow);
    void scrollTo(int row, bool fireAlways);
    void fireAfterScroll();
    void checkBrowseMode();
    void checkActive() const;
    std::size_t physicalRow(int row) const {
        return set_.storageRow(static_cast<std::size_t>(row));
    }
    void checkModifiable() const;
    std::vector<Value> currentValues() const;
    EditBuffer::Target target() const;
    void discardEdit();
    void startInsert(int row);
    Value linkValue(const Field& masterField) const;
    std::string findReadOnlyReason() const;
    void setState(DataSetState s);
    void dropRows();

    Connection* connection_;
    std::string sql_;
    std::optional<TableRead> tableView_;
    std::vector<std::string> paramNames_;
    ParameterFields parameterFields_;
    MasterLink link_{*this};

    DataSetState state_ = DataSetState::Inactive;
    std::vector<ColumnInfo> columns_;
    std::vector<std::shared_ptr<Field>> fields_;
    RowSet set_;
    RowReader reader_;
    int current_ = -1;
    std::string sort_;
    std::string filter_;
    std::string readOnly_; // why the rows cannot be changed; empty when they can

    EditBuffer edit_;
    int rowBeforeInsert_ = -1;

    DataObservers observers_;
    std::vector<Value> lastParams_;
    // The engine's data stamp from before the open's execution, until the
    // first re-query after it.
    std::optional<Engine::DataStamp> openStamp_;
};

} // namespace vdata
