#include "data/service/Query.h"

#include "data/service/Connection.h"
#include "data/service/DecimalText.h"
#include "data/service/Errors.h"
#include "data/service/Locate.h"
#include "data/service/Parameters.h"
#include "data/service/Progress.h"
#include "data/service/ResultTable.h"
#include "data/service/RowOrder.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vdata {

SortKey parseSort(std::string_view text) {
    using Suffix = std::pair<std::string_view, bool>;
    for (const auto& [word, descending] : {Suffix{" DESC", true}, Suffix{" ASC", false}}) {
        const std::size_t cut = text.size() - word.size();
        if (text.size() > word.size() && equalsIgnoreCase(text.substr(cut), word)) {
            return {std::string(text.substr(0, cut)), descending};
        }
    }
    return {std::string(text), false};
}

Query::Query(Connection* connection) : connection_(connection) {}

Query::~Query() {
    link_.unlink();
    notify(DataEvent::Kind::Destroyed);
}

void Query::setSQL(std::string text) {
    openStamp_.reset();
    tableView_.reset();
    sql_ = std::move(text);
    paramNames_ = parseParameters(sql_, [](int) { return std::string("?"); }).names;
}

void Query::setTableView(TableRead read) {
    openStamp_.reset();
    sql_ = tableReadSql(read);
    paramNames_.clear();
    tableView_ = std::move(read);
}

void Query::setDataSource(DataSource* source) {
    link_.unlink();
    link_.setSource(source);
    if (active()) {
        link_.link();
    }
}

// ---- opening and closing -------------------------------------------------

SteppedResult Query::run() {
    if (!connection_) {
        throw DataError("The query has no connection.", ErrorKind::Connection);
    }
    Engine& engine = connection_->engine();
    lastParams_ = parameterValues();
    if (tableView_) {
        return engine.openTable(*tableView_, firstRows);
    }
    const ParsedSql parsed =
        parseParameters(engine.rewrite(sql_), [&engine](int n) { return engine.placeholder(n); });
    return engine.openInSteps(parsed.text, lastParams_, firstRows);
}

void Query::take(SteppedResult result) {
    columns_ = std::move(result.columns);
    set_.take(std::move(result.rows));
    reader_.start(std::move(result.rest), set_.rows());
    readOnly_ = findReadOnlyReason();
}

// ---- reading in steps ----------------------------------------------------

bool Query::readMore(std::size_t maxRows) {
    if (!reader_.reading()) {
        return false;
    }
    const std::size_t before = set_.rows().rowCount();
    try {
        reader_.readMore(maxRows);
    } catch (...) {
        appendRead(before);
        throw;
    }
    appendRead(before);
    return reader_.reading();
}

// The rows appended to the snapshot since `before` are shown after the
// others. A query that showed no record makes the first one current.
void Query::appendRead(std::size_t before) {
    const std::size_t added = set_.rows().rowCount() - before;
    const int first = displayRowCount();
    set_.showAppended(before);
    notify({DataEvent::Kind::RowsAppended, first, -1, static_cast<int>(added)});
    if (current_ < 0 && added > 0 && state_ == DataSetState::Browse) {
        scrollTo(0, true);
    }
}

void Query::readAll() {
    while (readMore(RowReader::rowsPerStep)) {
        if (!reader_.wanted()) {
            stopReading();
            throwCancelled();
        }
    }
}

void Query::stopReading() {
    if (reader_.reading()) {
        reader_.stop();
        appendRead(set_.rows().rowCount());
    }
}

void Query::open() {
    if (active()) {
        return;
    }
    link_.link();
    try {
        const auto stamp = connection_ ? connection_->engine().dataStamp() : std::nullopt;
        take(run());
        openStamp_ = stamp;
    } catch (...) {
        link_.unlink();
        throw;
    }
    buildFields();
    sort_.clear();
    current_ = set_.size() == 0 ? -1 : 0;
    state_ = DataSetState::Browse;
    notify(DataEvent::Kind::Opened);
    if (current_ >= 0) {
        fireAfterScroll();
    }
}

void Query::close() {
    openStamp_.reset();
    if (!active()) {
        return;
    }
    link_.unlink();
    state_ = DataSetState::Inactive;
    edit_.clear();
    fields_.clear();
    columns_.clear();
    dropRows();
    sort_.clear();
    filter_.clear();
    notify(DataEvent::Kind::Closed);
}

void Query::dropRows() {
    reader_.reset();
    set_.drop();
    current_ = -1;
}

void Query::buildFields() {
    fields_.clear();
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        fields_.push_back(std::make_shared<Field>(*this, static_cast<int>(i), columns_[i].name,
                                                  columns_[i].type));
    }
}

void Query::requery() {
    checkActive();
    checkBrowseMode();
    // The old rows go before the new ones are read, so that a large result
    // is never held twice.
    const std::vector<ColumnInfo> before = columns_;
    if (!keepRowsUnchangedSinceOpen()) {
        dropRows();
        try {
            take(run());
        } catch (...) {
            close();
            throw;
        }
    }
    const bool sameColumns = before.size() == columns_.size() &&
                             std::equal(before.begin(), before.end(), columns_.begin(),
                                        [](const auto& a, const auto& b) {
                                            return a.name == b.name && a.type == b.type;
                                        });
    if (!sameColumns) {
        buildFields();
        sort_.clear();
        filter_.clear();
    }
    try {
        if (!sort_.empty() || !filter_.empty()) {
            readAll();
        }
        const std::optional<SortColumn> sorted = sortColumn();
        if (sorted) {
            set_.sort(&*sorted);
        }
        if (!filter_.empty()) {
            set_.filter(RowFilter(filter_, columns_), nullptr);
        }
    } catch (...) {
        close(); // a cancelled sort or filter: the rows read are not those the user asked for
        throw;
    }
    current_ = set_.size() == 0 ? -1 : 0;
    notify(sameColumns ? DataEvent::Kind::RowsReset : DataEvent::Kind::Opened);
    fireAfterScroll();
}

// A table view re-queries right after it opened. When the engine shows that
// nothing changed since the open read its rows, and the parameters are the
// same, running the statement again would read the same rows: they are kept.
bool Query::keepRowsUnchangedSinceOpen() {
    const auto stamp = std::exchange(openStamp_, std::nullopt);
    try {
        // The parameters first: they cost no round trip to the server.
        if (!stamp || parameterValues() != lastParams_ ||
            connection_->engine().dataStamp() != stamp) {
            return false;
        }
    } catch (const DataError&) {
        return false; // the execution that follows reports it
    }
    set_.showAll();
    return true;
}

void Query::refresh() {
    checkActive();
    checkBrowseMode();
    const int keep = current_;
    // Reading again is not a scroll: the current position is kept.
    auto saved = std::exchange(afterScroll, nullptr);
    try {
        requery();
    } catch (...) {
        afterScroll = std::move(saved);
        throw;
    }
    afterScroll = std::move(saved);
    if (set_.size() > 0 && keep != current_) {
        current_ = std::clamp(keep, 0, recordCount() - 1);
        notify(DataEvent::Kind::Scrolled, current_);
    }
}

// ---- fields and records --------------------------------------------------

Field* Query::findField(const std::string& name) const {
    for (const auto& f : fields_) {
        if (equalsIgnoreCase(f->name(), name)) {
            return f.get();
        }
    }
    return nullptr;
}

Field& Query::fieldByName(const std::string& name) const {
    Field* f = findField(name);
    if (!f) {
        throw DataError("Field '" + name + "' not found.");
    }
    return *f;
}

int Query::recNo() const {
    if (state_ == DataSetState::Insert || current_ < 0 || !active()) {
        return -1;
    }
    return current_ + 1;
}

int Query::recordCount() const {
    return static_cast<int>(set_.size());
}

int Query::displayRowCount() const {
    return recordCount() + (state_ == DataSetState::Insert ? 1 : 0);
}

// Display row -> snapshot row while inserting: rows at or after the insert
// row are shifted down by one.
// The edit buffer's value when `row` is the record being edited or inserted.
const Value* Query::bufferedCell(int row, int column) const {
    const bool buffered = row == insertRow() || (row == current_ && state_ == DataSetState::Edit);
    return buffered ? &edit_.value(static_cast<std::size_t>(column)) : nullptr;
}

// While a re-query reads, the old rows are gone and the new ones not there
// yet; a grid that paints meanwhile gets empty cells.
bool Query::hasRow(int row) const {
    return set_.held() && row >= 0 && row < displayRowCount();
}

// The snapshot row shown at display `row`, which is not the insert row.
std::size_t Query::snapshotRow(int row) const {
    const int ins = insertRow();
    return physicalRow((ins >= 0 && row > ins) ? row - 1 : row);
}

Value Query::cell(int row, int column) const {
    if (const Value* v = bufferedCell(row, column)) {
        return *v;
    }
    if (!hasRow(row)) {
        return Value::null();
    }
    return set_.rows().value(snapshotRow(row), static_cast<std::size_t>(column));
}

Value::Kind Query::cellKind(int row, int column) const {
    if (const Value* v = bufferedCell(row, column)) {
        return v->kind;
    }
    if (!hasRow(row)) {
        return Value::Kind::Null;
    }
    return set_.rows().kind(snapshotRow(row), static_cast<std::size_t>(column));
}

std::string_view Query::cellBytes(int row, int column) const {
    if (const Value* v = bufferedCell(row, column)) {
        return v->s;
    }
    if (!hasRow(row)) {
        return std::string_view();
    }
    const std::size_t r = snapshotRow(row);
    const auto c = static_cast<std::size_t>(column);
    const Value::Kind k = set_.rows().kind(r, c);
    return k == Value::Kind::Text || k == Value::Kind::Blob ? set_.rows().bytesAt(r, c)
                                                            : std::string_view();
}

std::string Query::cellText(int row, int column) const {
    return cell(row, column).toText();
}

std::string Query::shownText(int row, int column) const {
    const ColumnInfo& info = columns_.at(static_cast<std::size_t>(column));
    std::string text = cellText(row, column);
    return info.type == FieldType::Decimal ? paddedDecimalText(std::move(text), info.scale) : text;
}

Value Query::currentValue(int column) const {
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        return edit_.value(static_cast<std::size_t>(column));
    }
    if (current_ < 0 || !set_.held()) {
        return Value::null();
    }
    return set_.rows().value(physicalRow(current_), static_cast<std::size_t>(column));
}

void Query::setCurrentValue(int column, const Value& v) {
    checkActive();
    if (const std::string reason = columnReadOnlyReason(column); !reason.empty()) {
        throw DataError(reason, ErrorKind::ReadOnly);
    }
    if (state_ == DataSetState::Browse) {
        edit();
    }
    edit_.set(static_cast<std::size_t>(column), v);
    notify(DataEvent::Kind::FieldChanged, current_, column);
}

// ---- navigation ----------------------------------------------------------

void Query::first() {
    moveTo(0);
}
void Query::last() {
    moveTo(recordCount() - 1);
}
void Query::next() {
    if (current_ + 1 >= recordCount()) {
        return;
    }
    moveTo(current_ + 1);
}
void Query::prior() {
    if (current_ <= 0) {
        return;
    }
    moveTo(current_ - 1);
}

void Query::moveTo(int row) {
    checkActive();
    checkBrowseMode();
    if ((set_.size() == 0)) {
        return;
    }
    scrollTo(std::clamp(row, 0, recordCount() - 1), false);
}

void Query::scrollTo(int row, bool fireAlways) {
    const bool moved = row != current_;
    current_ = row;
    if (moved || fireAlways) {
        // The row has moved even when a linked detail fails to follow, and
        // the after-scroll handler (the window's counter) hears of it.
        try {
            notify(DataEvent::Kind::Scrolled, current_);
        } catch (...) {
            fireAfterScroll();
            throw;
        }
        fireAfterScroll();
    }
}

void Query::fireAfterScroll() {
    if (afterScroll) {
        afterScroll(*this);
    }
}

void Query::checkActive() const {
    if (!active()) {
        throw DataError("Operation is not allowed when the object is closed.");
    }
}

void Query::checkBrowseMode() {
    link_.postDetails();
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        post();
    }
}

// ---- editing -------------------------------------------------------------

std::string Query::editableTable() const {
    return vdata::editableTable(columns_);
}

std::string Query::findReadOnlyReason() const {
    return resultReadOnlyReason(connection_->engine(), columns_, tableView_ ? std::string() : sql_);
}

bool Query::canModify() const {
    return active() && readOnly_.empty();
}

std::string Query::columnReadOnlyReason(int column) const {
    return vdata::columnReadOnlyReason(columns_.at(static_cast<std::size_t>(column)));
}

void Query::setState(DataSetState s) {
    state_ = s;
    notify(DataEvent::Kind::StateChanged, current_);
}

void Query::insert() {
    startInsert(current_ < 0 ? 0 : current_);
}

void Query::append() {
    startInsert(recordCount());
}

void Query::startInsert(int row) {
    checkActive();
    checkBrowseMode();
    checkModifiable();
    rowBeforeInsert_ = current_;
    edit_.startInsert(columns_.size());
    current_ = std::clamp(row, 0, recordCount());
    link_.fillNewRecord(masterFields());
    setState(DataSetState::Insert);
    // The new record is current now (record number -1).
    fireAfterScroll();
}

void Query::edit() {
    checkActive();
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        return;
    }
    if (set_.size() == 0) {
        insert();
        return;
    }
    checkModifiable();
    edit_.start(currentValues());
    setState(DataSetState::Edit);
}

void Query::checkModifiable() const {
    if (!canModify()) {
        throw DataError(readOnlyReason(), ErrorKind::ReadOnly);
    }
}

std::vector<Value> Query::currentValues() const {
    return set_.rows().row(physicalRow(current_));
}

EditBuffer::Target Query::target() const {
    return {connection_->engine(), columns_, editableTable()};
}

// A post the database refuses raises its message and leaves the record in
// Edit or Insert with the typed values, so nothing is lost.
void Query::post() {
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        notify(DataEvent::Kind::UpdatingRecord, current_);
    }
    link_.postDetails();
    std::exception_ptr unread;
    if (state_ == DataSetState::Edit) {
        if (edit_.modified()) {
            set_.rows().setRow(physicalRow(current_),
                               edit_.update(target(), currentValues(), unread));
        }
        edit_.setUnmodified();
        setState(DataSetState::Browse);
        notify(DataEvent::Kind::RowChanged, current_);
    } else if (state_ == DataSetState::Insert) {
        const std::vector<Value> row = edit_.insert(target(), unread);
        const auto physical = static_cast<std::uint32_t>(set_.rows().appendRow(row));
        set_.order().insert(static_cast<std::size_t>(current_), physical);
        edit_.setUnmodified();
        state_ = DataSetState::Browse;
        notify(DataEvent::Kind::RowInserted, current_);
        notify(DataEvent::Kind::StateChanged, current_);
        fireAfterScroll(); // a real record now, and one more of them
    }
    if (unread) {
        std::rethrow_exception(unread);
    }
}

// After a post that met a row changed by someone else, the rows are read
// again, so that what the database now holds shows.
void Query::cancel() {
    const bool reread = state_ == DataSetState::Edit && edit_.conflicted();
    discardEdit();
    if (reread) {
        refresh();
    }
}

void Query::discardEdit() {
    const DataSetState was = state_;
    edit_.clear();
    if (was == DataSetState::Edit) {
        setState(DataSetState::Browse);
        notify(DataEvent::Kind::RowChanged, current_);
    } else if (was == DataSetState::Insert) {
        current_ = set_.size() == 0 ? -1 : std::clamp(rowBeforeInsert_, 0, recordCount() - 1);
        setState(DataSetState::Browse);
        if (current_ >= 0) {
            notify(DataEvent::Kind::Scrolled, current_);
            fireAfterScroll();
        }
    }
}

void Query::remove() {
    checkActive();
    // A pending edit is given up without reading the rows again: the row
    // to delete is the one shown.
    discardEdit();
    if (set_.size() == 0) {
        throw DataError("Cannot perform this operation on an empty dataset.");
    }
    checkModifiable();
    link_.postDetails();
    EditBuffer::remove(target(), currentValues());
    const int row = current_;
    set_.order().erase(static_cast<std::size_t>(row));
    current_ = set_.size() == 0 ? -1 : std::min(row, recordCount() - 1);
    notify(DataEvent::Kind::RowRemoved, row);
    if (current_ >= 0) {
        scrollTo(current_, true);
    } else {
        fireAfterScroll(); // no record is current any more
    }
}

// ---- searching and sorting ----------------------------------------------

bool Query::locate(const std::string& fieldName, const std::string& text, LocateOptions options) {
    return locateFrom(fieldName, text, {}, options) >= 0;
}

int Query::locateFrom(const std::string& fieldName, const std::string& text, LocateStart start,
                      LocateOptions options) {
    checkActive();
    checkBrowseMode();
    const Field& f = fieldByName(fieldName);
    readAll();
    const int row = locateRow(set_.rows(), set_.order(), static_cast<std::size_t>(f.index()),
                              f.dataType(), text, options, start);
    if (row >= 0) {
        scrollTo(row, true);
    }
    return row;
}

void Query::setSort(const std::string& text) {
    checkActive();
    checkBrowseMode();
    const SortKey key = parseSort(text);
    const Field* f = key.field.empty() ? nullptr : findField(key.field);
    if (!key.field.empty() && !f) {
        throw DataError("Sort order cannot be applied: the result has no field '" + key.field +
                        "'.");
    }
    readAll();
    if (f) {
        const SortColumn column{static_cast<std::size_t>(f->index()), f->dataType(),
                                key.descending};
        set_.sort(&column);
    } else {
        set_.sort(nullptr);
    }
    sort_ = text;
    current_ = set_.size() == 0 ? -1 : 0;
    notify(DataEvent::Kind::RowsReset);
    if (current_ >= 0) {
        scrollTo(0, true);
    }
}

void Query::setFilter(const std::string& text) {
    checkActive();
    checkBrowseMode();
    const std::string wanted(trimmed(text));
    const int keep = current_ < 0 ? -1 : static_cast<int>(physicalRow(current_));
    const std::optional<SortColumn> sorted = sortColumn();
    if (wanted.empty()) {
        set_.clearFilter(sorted ? &*sorted : nullptr);
        filter_.clear();
        showOrder(keep);
        return;
    }
    const RowFilter filter(wanted, columns_);
    readAll();
    set_.filter(filter, sorted ? &*sorted : nullptr);
    filter_ = wanted;
    showOrder(keep);
}

// The column of the sort chosen; none for the result's own order.
std::optional<SortColumn> Query::sortColumn() const {
    const SortKey key = parseSort(sort_);
    const Field* f = key.field.empty() ? nullptr : findField(key.field);
    if (!f) {
        return std::nullopt;
    }
    return SortColumn{static_cast<std::size_t>(f->index()), f->dataType(), key.descending};
}

// Shows the new order, with the storage row `keepRow` current when it is
// among the rows shown, else the first.
void Query::showOrder(int keepRow) {
    current_ = set_.size() == 0 ? -1 : 0;
    for (std::size_t i = 0; keepRow >= 0 && i < set_.size(); ++i) {
        if (set_.storageRow(i) == static_cast<std::uint32_t>(keepRow)) {
            current_ = static_cast<int>(i);
            break;
        }
    }
    notify(DataEvent::Kind::RowsReset);
    if (current_ >= 0) {
        scrollTo(current_, true);
    } else {
        fireAfterScroll();
    }
}

// ---- master link ---------------------------------------------------------

// A detail follows the master's saved record: while the master edits, the
// values it had; while it inserts, none (the new record has no details yet).
Value Query::linkValue(const Field& masterField) const {
    if (state_ == DataSetState::Insert || current_ < 0 || !set_.held()) {
        return Value::null();
    }
    return set_.rows().value(physicalRow(current_), static_cast<std::size_t>(masterField.index()));
}

// The master field each parameter takes its value from.
std::vector<std::string> Query::masterFields() const {
    std::vector<std::string> fields;
    for (const std::string& name : paramNames_) {
        const auto it = parameterFields_.find(name);
        fields.push_back(it == parameterFields_.end() ? name : it->second);
    }
    return fields;
}

std::vector<Value> Query::parameterValues() const {
    return link_.values(masterFields());
}

void Query::notify(DataEvent::Kind kind, int row, int field) {
    notify({kind, row, field});
}

} // namespace vdata
