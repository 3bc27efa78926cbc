#include "data/service/Query.h"

#include "data/service/Connection.h"
#include "data/service/DecimalText.h"
#include "data/service/Errors.h"
#include "data/service/Locate.h"
#include "data/service/Parameters.h"
#include "data/service/Progress.h"
#include "data/service/RowOrder.h"
#include "data/service/TableReferences.h"
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
    unlinkFromMaster();
    notify(DataEvent::Kind::Destroyed);
}

void Query::setSQL(std::string text) {
    openStamp_.reset();
    tableView_.clear();
    sql_ = std::move(text);
    paramNames_ = parseParameters(sql_, [](int) { return std::string("?"); }).names;
}

void Query::setDataSource(DataSource* source) {
    unlinkFromMaster();
    dataSource_ = source;
    if (active()) {
        linkToMaster();
    }
}

// ---- opening and closing -------------------------------------------------

SteppedResult Query::run() {
    if (!connection_) {
        throw DataError("The query has no connection.", ErrorKind::Connection);
    }
    Engine& engine = connection_->engine();
    const ParsedSql parsed =
        parseParameters(engine.rewrite(sql_), [&engine](int n) { return engine.placeholder(n); });
    lastParams_ = parameterValues();
    return engine.openInSteps(parsed.text, lastParams_, tableView_, firstRows);
}

void Query::take(SteppedResult result) {
    columns_ = std::move(result.columns);
    rows_ = std::make_unique<Snapshot>(std::move(result.rows));
    stream_ = std::move(result.rest);
    if (stream_) {
        rows_->makeRoom(rows_->rowCount() + stream_->rowsExpected());
    }
    readStopped_ = false;
    resetOrder();
    readOnly_ = findReadOnlyReason();
}

// ---- reading in steps ----------------------------------------------------

bool Query::readMore(std::size_t maxRows) {
    if (!stream_) {
        return false;
    }
    const std::size_t before = rows_->rowCount();
    try {
        if (!stream_->readMore(*rows_, std::max<std::size_t>(maxRows, 1))) {
            stream_.reset();
            rows_->shrinkToFit();
        }
    } catch (...) {
        stream_.reset();
        readStopped_ = true;
        appendRead(before);
        throw;
    }
    appendRead(before);
    return stream_ != nullptr;
}

// The rows appended to the snapshot since `before` are shown after the
// others. A query that showed no record makes the first one current.
void Query::appendRead(std::size_t before) {
    const std::size_t added = rows_->rowCount() - before;
    const int first = displayRowCount();
    order_.append(static_cast<std::uint32_t>(before), added);
    notify({DataEvent::Kind::RowsAppended, first, -1, static_cast<int>(added)});
    if (current_ < 0 && added > 0 && state_ == DataSetState::Browse) {
        scrollTo(0, true);
    }
}

void Query::readAll() {
    constexpr std::size_t rowsPerStep = 65536;
    while (stream_) {
        readMore(rowsPerStep);
        if (stream_ && !progressContinues(rows_->rowCount())) {
            stopReading();
            throwCancelled();
        }
    }
}

void Query::stopReading() {
    if (stream_) {
        stream_.reset();
        readStopped_ = true;
        appendRead(rows_->rowCount());
    }
}

void Query::open() {
    if (active()) {
        return;
    }
    linkToMaster();
    try {
        const auto stamp = connection_ ? connection_->engine().dataStamp() : std::nullopt;
        take(run());
        openStamp_ = stamp;
    } catch (...) {
        unlinkFromMaster();
        throw;
    }
    buildFields();
    sort_.clear();
    current_ = order_.empty() ? -1 : 0;
    state_ = DataSetState::Browse;
    notify(DataEvent::Kind::Opened);
    if (!order_.empty()) {
        fireAfterScroll();
    }
}

void Query::close() {
    openStamp_.reset();
    if (!active()) {
        return;
    }
    unlinkFromMaster();
    state_ = DataSetState::Inactive;
    buffer_.clear();
    changed_.clear();
    modified_ = false;
    fields_.clear();
    columns_.clear();
    dropRows();
    sort_.clear();
    filter_.clear();
    notify(DataEvent::Kind::Closed);
}

void Query::dropRows() {
    stream_.reset();
    readStopped_ = false;
    rows_.reset();
    order_.clear();
    current_ = -1;
}

void Query::buildFields() {
    fields_.clear();
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        fields_.push_back(std::make_shared<Field>(*this, static_cast<int>(i), columns_[i].name,
                                                  columns_[i].type));
    }
}

void Query::resetOrder() {
    order_.reset(rows_ ? rows_->rowCount() : 0);
    filtered_.clear();
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
        if (!sort_.empty()) {
            const SortKey key = parseSort(sort_);
            applySort(key.field, key.descending);
        }
        if (!filter_.empty()) {
            order_.assign(filtered_.apply(order_.rows(), *rows_, RowFilter(filter_, columns_)));
        }
    } catch (...) {
        close(); // a cancelled sort or filter: the rows read are not those the user asked for
        throw;
    }
    current_ = order_.empty() ? -1 : 0;
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
    resetOrder();
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
    if (!order_.empty() && keep != current_) {
        current_ = std::clamp(keep, 0, static_cast<int>(order_.size()) - 1);
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
    return static_cast<int>(order_.size());
}

int Query::displayRowCount() const {
    return recordCount() + (state_ == DataSetState::Insert ? 1 : 0);
}

// Display row -> snapshot row while inserting: rows at or after the insert
// row are shifted down by one.
// The edit buffer's value when `row` is the record being edited or inserted.
const Value* Query::bufferedCell(int row, int column) const {
    const bool buffered = row == insertRow() || (row == current_ && state_ == DataSetState::Edit);
    return buffered ? &buffer_[static_cast<std::size_t>(column)] : nullptr;
}

// While a re-query reads, the old rows are gone and the new ones not there
// yet; a grid that paints meanwhile gets empty cells.
bool Query::hasRow(int row) const {
    return rows_ && row >= 0 && row < displayRowCount();
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
    return rows_->value(snapshotRow(row), static_cast<std::size_t>(column));
}

Value::Kind Query::cellKind(int row, int column) const {
    if (const Value* v = bufferedCell(row, column)) {
        return v->kind;
    }
    if (!hasRow(row)) {
        return Value::Kind::Null;
    }
    return rows_->kind(snapshotRow(row), static_cast<std::size_t>(column));
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
    const Value::Kind k = rows_->kind(r, c);
    return k == Value::Kind::Text || k == Value::Kind::Blob ? rows_->bytesAt(r, c)
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
        return buffer_.at(static_cast<std::size_t>(column));
    }
    if (current_ < 0 || !rows_) {
        return Value::null();
    }
    return rows_->value(physicalRow(current_), static_cast<std::size_t>(column));
}

void Query::setCurrentValue(int column, const Value& v) {
    checkActive();
    if (const std::string reason = columnReadOnlyReason(column); !reason.empty()) {
        throw DataError(reason, ErrorKind::ReadOnly);
    }
    if (state_ == DataSetState::Browse) {
        edit();
    }
    buffer_.at(static_cast<std::size_t>(column)) = v;
    changed_[static_cast<std::size_t>(column)] = true;
    modified_ = true;
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
    if (order_.empty()) {
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
    postDetails();
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        post();
    }
}

// ---- editing -------------------------------------------------------------

std::string Query::editableTable() const {
    if (columns_.empty() || columns_.front().table.empty()) {
        return {};
    }
    for (const ColumnInfo& c : columns_) {
        if (c.table.empty() || c.column.empty() ||
            !equalsIgnoreCase(c.table, columns_.front().table)) {
            return {};
        }
    }
    return columns_.front().table;
}

std::string Query::findReadOnlyReason() const {
    const std::string table = editableTable();
    if (table.empty()) {
        return "This result is read-only: its columns do not all come from one table.";
    }
    if (countTableReferences(sql_, table) != 1) {
        return "This result is read-only: it does not read table " + table +
               " exactly once by its name (it joins the table with itself, or reads it through "
               "a view).";
    }
    try {
        return connection_->engine().readOnlyReason(columns_, table);
    } catch (const DataError& e) {
        return e.what();
    }
}

bool Query::canModify() const {
    return active() && readOnly_.empty();
}

std::string Query::readOnlyReason() const {
    return readOnly_;
}

std::string Query::columnReadOnlyReason(int column) const {
    const ColumnInfo& c = columns_.at(static_cast<std::size_t>(column));
    if (!c.generated) {
        return {};
    }
    return "Column " + c.name + " is generated: the database computes its value from the " +
           "other columns of the row, so it cannot be changed.";
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
    if (!canModify()) {
        throw DataError(readOnlyReason(), ErrorKind::ReadOnly);
    }
    rowBeforeInsert_ = current_;
    buffer_.assign(columns_.size(), Value::null());
    changed_.assign(columns_.size(), false);
    modified_ = false;
    current_ = std::clamp(row, 0, recordCount());
    fillFromMaster();
    setState(DataSetState::Insert);
    // The new record is current now (record number -1).
    fireAfterScroll();
}

void Query::edit() {
    checkActive();
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        return;
    }
    if (order_.empty()) {
        insert();
        return;
    }
    if (!canModify()) {
        throw DataError(readOnlyReason(), ErrorKind::ReadOnly);
    }
    buffer_ = rows_->row(physicalRow(current_));
    changed_.assign(columns_.size(), false);
    modified_ = false;
    conflicted_ = false;
    setState(DataSetState::Edit);
}

RowEdit Query::makeEdit(bool forInsert) const {
    RowEdit e;
    e.columns = &columns_;
    e.table = editableTable();
    if (!forInsert) {
        e.original = rows_->row(physicalRow(current_));
    }
    e.current = buffer_;
    e.changed = changed_;
    return e;
}

// A post the database refuses raises its message and leaves the record in
// Edit or Insert with the typed values, so nothing is lost.
void Query::post() {
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        notify(DataEvent::Kind::UpdatingRecord, current_);
    }
    postDetails();
    std::exception_ptr unread;
    if (state_ == DataSetState::Edit) {
        if (modified_) {
            const std::vector<Value> row = written(
                [this] { return connection_->engine().updateRow(makeEdit(false)); }, unread);
            rows_->setRow(physicalRow(current_), row);
        }
        modified_ = false;
        setState(DataSetState::Browse);
        notify(DataEvent::Kind::RowChanged, current_);
    } else if (state_ == DataSetState::Insert) {
        const std::vector<Value> row =
            written([this] { return connection_->engine().insertRow(makeEdit(true)); }, unread);
        const auto physical = static_cast<std::uint32_t>(rows_->appendRow(row));
        order_.insert(static_cast<std::size_t>(current_), physical);
        modified_ = false;
        state_ = DataSetState::Browse;
        notify(DataEvent::Kind::RowInserted, current_);
        notify(DataEvent::Kind::StateChanged, current_);
        fireAfterScroll(); // a real record now, and one more of them
    }
    if (unread) {
        std::rethrow_exception(unread);
    }
}

// The row `write` stored. One that was stored but could not be read back
// is taken as written and its failure kept in `unread`, to be raised once
// the record is saved: posting it again would store it twice.
std::vector<Value> Query::written(const std::function<std::vector<Value>()>& write,
                                  std::exception_ptr& unread) {
    try {
        return write();
    } catch (const RowNotReadBack& e) {
        unread = std::current_exception();
        return e.written();
    } catch (const DataError& e) {
        conflicted_ = e.kind() == ErrorKind::Conflict;
        throw;
    }
}

// After a post that met a row changed by someone else, the rows are read
// again, so that what the database now holds shows.
void Query::cancel() {
    const bool reread = state_ == DataSetState::Edit && conflicted_;
    discardEdit();
    if (reread) {
        refresh();
    }
}

void Query::discardEdit() {
    conflicted_ = false;
    if (state_ == DataSetState::Edit) {
        modified_ = false;
        setState(DataSetState::Browse);
        notify(DataEvent::Kind::RowChanged, current_);
    } else if (state_ == DataSetState::Insert) {
        modified_ = false;
        current_ = order_.empty() ? -1 : std::clamp(rowBeforeInsert_, 0, recordCount() - 1);
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
    if (order_.empty()) {
        throw DataError("Cannot perform this operation on an empty dataset.");
    }
    if (!canModify()) {
        throw DataError(readOnlyReason(), ErrorKind::ReadOnly);
    }
    postDetails();
    buffer_ = rows_->row(physicalRow(current_));
    changed_.assign(columns_.size(), false);
    connection_->engine().deleteRow(makeEdit(false));
    const int row = current_;
    order_.erase(static_cast<std::size_t>(row));
    current_ = order_.empty() ? -1 : std::min(row, recordCount() - 1);
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
    const int row = locateRow(*rows_, order_, static_cast<std::size_t>(f.index()), f.dataType(),
                              text, options, start);
    if (row >= 0) {
        scrollTo(row, true);
    }
    return row;
}

void Query::setSort(const std::string& text) {
    checkActive();
    checkBrowseMode();
    const SortKey key = parseSort(text);
    if (!key.field.empty() && !findField(key.field)) {
        throw DataError("Sort order cannot be applied: the result has no field '" + key.field +
                        "'.");
    }
    readAll();
    if (key.field.empty()) {
        order_.sortByStorage();
    } else {
        applySort(key.field, key.descending);
    }
    filtered_.reordered();
    sort_ = text;
    current_ = order_.empty() ? -1 : 0;
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
    if (wanted.empty()) {
        std::vector<std::uint32_t> all = filtered_.active() ? unfilteredRows() : order_.rows();
        filtered_.clear();
        filter_.clear();
        showOrder(std::move(all), keep);
        return;
    }
    const RowFilter filter(wanted, columns_);
    readAll();
    std::vector<std::uint32_t> all = filtered_.active() ? unfilteredRows() : order_.rows();
    showOrder(filtered_.apply(std::move(all), *rows_, filter), keep);
    filter_ = wanted;
}

// Every row read and not deleted, in the order shown before the filter, or
// in the sort order chosen since.
std::vector<std::uint32_t> Query::unfilteredRows() const {
    std::vector<std::uint32_t> all = filtered_.allRows(order_, rows_->rowCount());
    if (filtered_.wasReordered()) {
        std::sort(all.begin(), all.end());
        const SortKey key = parseSort(sort_);
        if (const Field* f = key.field.empty() ? nullptr : findField(key.field)) {
            sortRows(all, *rows_, static_cast<std::size_t>(f->index()), f->dataType(),
                     key.descending);
        }
    }
    return all;
}

// Shows `rows`, with the storage row `keepRow` current when it is among
// them, else the first.
void Query::showOrder(std::vector<std::uint32_t> rows, int keepRow) {
    const auto kept = std::find(rows.begin(), rows.end(), static_cast<std::uint32_t>(keepRow));
    const int at = kept == rows.end() ? 0 : static_cast<int>(kept - rows.begin());
    order_.assign(std::move(rows));
    current_ = order_.empty() ? -1 : at;
    notify(DataEvent::Kind::RowsReset);
    if (current_ >= 0) {
        scrollTo(current_, true);
    } else {
        fireAfterScroll();
    }
}

// The rows shown (not those deleted since the read) are sorted from their
// storage order, so ties keep it. The new order replaces the old one only
// once it is complete, so a sort that is cancelled keeps the order shown.
void Query::applySort(const std::string& fieldName, bool descending) {
    const Field& f = fieldByName(fieldName);
    std::vector<std::uint32_t> sorted = order_.rowsInStorageOrder();
    sortRows(sorted, *rows_, static_cast<std::size_t>(f.index()), f.dataType(), descending);
    order_.assign(std::move(sorted));
}

// ---- master link ---------------------------------------------------------

// A detail follows the master's saved record: while the master edits, the
// values it had; while it inserts, none (the new record has no details yet).
Value Query::linkValue(const Field& masterField) const {
    if (state_ == DataSetState::Insert || current_ < 0 || !rows_) {
        return Value::null();
    }
    return rows_->value(physicalRow(current_), static_cast<std::size_t>(masterField.index()));
}

const std::string& Query::masterFieldOf(const std::string& parameter) const {
    const auto it = parameterFields_.find(parameter);
    return it == parameterFields_.end() ? parameter : it->second;
}

std::vector<Value> Query::parameterValues() const {
    std::vector<Value> values;
    const Query* master = dataSource_ ? dataSource_->dataSet() : nullptr;
    for (const std::string& name : paramNames_) {
        const Field* f = (master && master != this && master->active())
                             ? master->findField(masterFieldOf(name))
                             : nullptr;
        values.push_back(f ? master->linkValue(*f) : Value::null());
    }
    return values;
}

void Query::linkToMaster() {
    Query* master = dataSource_ ? dataSource_->dataSet() : nullptr;
    if (!master || master == this || linkedMaster_ == master) {
        return;
    }
    unlinkFromMaster();
    linkedMaster_ = master;
    masterSubscription_ = master->subscribe([this](const DataEvent& e) { masterChanged(e); });
    master->details_.push_back(this);
}

void Query::unlinkFromMaster() {
    if (linkedMaster_) {
        linkedMaster_->unsubscribe(masterSubscription_);
        std::erase(linkedMaster_->details_, this);
        linkedMaster_ = nullptr;
        masterSubscription_ = 0;
    }
}

// A detail's pending change belongs to the master's current record, so it is
// saved before that record changes (one with nothing typed is given up); a
// refusal raises before anything moved.
void Query::postDetails() {
    for (Query* detail : std::vector<Query*>(details_)) {
        detail->postDetails();
        const bool pending =
            detail->state_ == DataSetState::Edit || detail->state_ == DataSetState::Insert;
        if (pending && detail->modified_) {
            detail->post();
        } else if (pending) {
            detail->cancel();
        }
    }
}

// The detail runs again whenever the master's current row changes, or the
// values of its linked fields change (a post, a delete, an insert starting
// or ending).
void Query::masterChanged(const DataEvent& e) {
    using K = DataEvent::Kind;
    if (e.kind == K::Destroyed) {
        linkedMaster_ = nullptr;
        return;
    }
    if (!active()) {
        return;
    }
    const bool rowChanged = e.kind == K::Scrolled || e.kind == K::RowsReset || e.kind == K::Opened;
    const bool valuesChanged = (e.kind == K::RowChanged || e.kind == K::RowInserted ||
                                e.kind == K::RowRemoved || e.kind == K::StateChanged) &&
                               parameterValues() != lastParams_;
    if (rowChanged || valuesChanged) {
        requery();
    }
}

// A new record takes the values of the master record that the rows shown
// belong to, into the paired fields.
void Query::fillFromMaster() {
    const Query* master = dataSource_ ? dataSource_->dataSet() : nullptr;
    if (!master || master == this || !master->active()) {
        return;
    }
    LinkFields pairs = linkFields_;
    if (pairs.empty()) {
        for (const std::string& name : paramNames_) {
            pairs.emplace_back(masterFieldOf(name), masterFieldOf(name));
        }
    }
    for (const auto& [masterName, detailName] : pairs) {
        const Field* source = master->findField(masterName);
        const Field* target = findField(detailName);
        if (source && target) {
            buffer_[static_cast<std::size_t>(target->index())] = master->linkValue(*source);
            changed_[static_cast<std::size_t>(target->index())] = true;
        }
    }
}

// ---- observers -----------------------------------------------------------

int Query::subscribe(std::function<void(const DataEvent&)> observer) {
    observers_.push_back({nextObserverId_, std::move(observer)});
    return nextObserverId_++;
}

void Query::unsubscribe(int id) {
    std::erase_if(observers_, [id](const Observer& o) { return o.id == id; });
}

void Query::notify(DataEvent::Kind kind, int row, int field) {
    notify({kind, row, field});
}

void Query::notify(const DataEvent& e) {
    // A copy, so that an observer may unsubscribe while being told. Every
    // observer is told even when one fails (a detail whose re-read fails or
    // is cancelled), so the others still show where the query stands; the
    // first failure is raised afterwards.
    const std::vector<Observer> observers = observers_;
    std::exception_ptr failure;
    for (const Observer& o : observers) {
        try {
            o.fn(e);
        } catch (...) {
            if (!failure) {
                failure = std::current_exception();
            }
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace vdata
