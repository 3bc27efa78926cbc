#pragma once

#include "data/service/DataSource.h"
#include "data/service/DisplayRows.h"
#include "data/service/Engine.h"
#include "data/service/Field.h"
#include "data/service/FilteredOrder.h"
#include "data/service/Locate.h"

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

// What changed in a query, for grids, navigators and detail queries.
// Entering or leaving the Insert state comes as StateChanged: displayRowCount()
// then grows or shrinks by the insert row. A posted insert comes as
// RowInserted followed by StateChanged (the insert row became a real row).
struct DataEvent {
    enum class Kind {
        Opened,       // new fields and rows
        Closed,       // no fields, no rows
        RowsReset,    // rows replaced or reordered (requery, refresh, sort)
        RowChanged,   // `row` was rewritten (a post)
        RowInserted,  // `row` was added (a post of an insert)
        RowRemoved,   // `row` was deleted
        StateChanged, // browse / edit / insert
        FieldChanged, // a value of the edit buffer changed (`field`)
        Scrolled,     // another record became current
        // A post is about to write the edit buffer: a control that still
        // holds typed text hands it over now, or raises to stop the post.
        UpdatingRecord,
        Destroyed, // the query is being destroyed: drop every reference to it
        // Rows read in steps were added at the end: `count` of them from
        // display row `row` on (none when the read ended or stopped).
        RowsAppended,
    };
    Kind kind;
    int row = -1; // 0-based display row
    int field = -1;
    int count = 0;
};

// A sort text taken apart: "Field", "Field ASC" or "Field DESC" (the word
// in any letter case) names the field and the direction.
struct SortKey {
    std::string field;
    bool descending = false;
};
SortKey parseSort(std::string_view text);

// A dataset over SQL text with a static snapshot of its whole result. The
// record order is the display order (after sorting); rows are addressed
// 0-based for the grid, records 1-based for the user.
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
    // Says that the SQL lists every row of `table` (a table view), so that
    // an open shows the first rows at once and the rest are read in steps
    // (see readMore); set after the SQL, which clears it.
    void setTableView(std::string table) { tableView_ = std::move(table); }

    // Reading in steps. While reading() the rows read so far are shown and
    // can be moved through and edited; readMore appends up to `maxRows` more
    // and returns whether rows remain. A failed step stops the read, keeps
    // the rows read and raises. Sorting, filtering and searching read the
    // rest first (readAll, which the progress callback may cancel: the read
    // then stops, keeping the rows read, and raises the cancellation).
    // stopReading ends the read early; readStopped() tells until the next
    // read. Closing or reading again ends the read.
    bool reading() const { return stream_ != nullptr; }
    bool readStopped() const { return readStopped_; }
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
    DataSource* dataSource() const { return dataSource_; }
    // The fields a new record takes from the master: each pair names a
    // parameter (a master field) and the field of this query that receives
    // its value. Without pairs a parameter fills the field of its own name.
    using LinkFields = std::vector<std::pair<std::string, std::string>>;
    void setLinkFields(LinkFields pairs) { linkFields_ = std::move(pairs); }
    const LinkFields& linkFields() const { return linkFields_; }
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
    std::string readOnlyReason() const;
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
    bool modified() const { return modified_; }

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

    // Observers for grids, navigators and details.
    int subscribe(std::function<void(const DataEvent&)> observer);
    void unsubscribe(int id);

private:
    friend class Field;
    struct Observer {
        int id;
        std::function<void(const DataEvent&)> fn;
    };

    void notify(DataEvent::Kind kind, int row = -1, int field = -1);
    void notify(const DataEvent& e);
    const Value* bufferedCell(int row, int column) const;
    bool hasRow(int row) const;
    std::size_t snapshotRow(int row) const;
    SteppedResult run();
    void take(SteppedResult result);
    void appendRead(std::size_t before);
    std::vector<Value> parameterValues() const;
    bool keepRowsUnchangedSinceOpen();
    const std::string& masterFieldOf(const std::string& parameter) const;
    void buildFields();
    void resetOrder();
    void applySort(const std::string& fieldName, bool descending);
    std::vector<std::uint32_t> unfilteredRows() const;
    void showOrder(std::vector<std::uint32_t> rows, int keepRow);
    void scrollTo(int row, bool fireAlways);
    void fireAfterScroll();
    void checkBrowseMode();
    void checkActive() const;
    std::size_t physicalRow(int row) const { return order_[static_cast<std::size_t>(row)]; }
    RowEdit makeEdit(bool forInsert) const;
    std::vector<Value> written(const std::function<std::vector<Value>()>& write,
                               std::exception_ptr& unread);
    void discardEdit();
    void startInsert(int row);
    void linkToMaster();
    void unlinkFromMaster();
    void masterChanged(const DataEvent& e);
    void fillFromMaster();
    void postDetails();
    Value linkValue(const Field& masterField) const;
    std::string findReadOnlyReason() const;
    void setState(DataSetState s);
    void dropRows();

    Connection* connection_;
    std::string sql_;
    std::vector<std::string> paramNames_;
    DataSource* dataSource_ = nullptr;
    LinkFields linkFields_;
    ParameterFields parameterFields_;
    Query* linkedMaster_ = nullptr;
    int masterSubscription_ = 0;
    std::vector<Query*> details_; // the open queries linked to this one

    DataSetState state_ = DataSetState::Inactive;
    std::vector<ColumnInfo> columns_;
    std::vector<std::shared_ptr<Field>> fields_;
    std::unique_ptr<Snapshot> rows_;
    std::string tableView_;
    std::unique_ptr<RowStream> stream_; // the rows still to read
    bool readStopped_ = false;
    DisplayRows order_;
    int current_ = -1;
    std::string sort_;
    std::string filter_;
    FilteredOrder filtered_;
    std::string readOnly_; // why the rows cannot be changed; empty when they can

    std::vector<Value> buffer_; // edit/insert buffer
    std::vector<bool> changed_;
    bool modified_ = false;
    bool conflicted_ = false; // the last post met a row someone else had changed
    int rowBeforeInsert_ = -1;

    std::vector<Observer> observers_;
    int nextObserverId_ = 1;
    std::vector<Value> lastParams_;
    // The engine's data stamp from before the open's execution, until the
    // first re-query after it.
    std::optional<Engine::DataStamp> openStamp_;
};

} // namespace vdata
