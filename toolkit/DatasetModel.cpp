#include "toolkit/DatasetModel.h"

#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Text.h"

#include <QBrush>
#include <QColor>
#include <QStringList>

#include <algorithm>
#include <utility>

using vdata::DataEvent;
using vdata::DataSetState;

namespace tk {

const QString DatasetModel::nullText = QStringLiteral("(null)");
const QString DatasetModel::blobText = QStringLiteral("(BLOB)");
const QString DatasetModel::notEditableText =
    QStringLiteral("This value holds binary data or text that is not valid UTF-8; it cannot be "
                   "edited in the grid.");
const QString DatasetModel::lineTooLongText =
    QStringLiteral("This value has a line longer than 1 MB; it cannot be edited in the grid.");

namespace {

bool isNumeric(vdata::FieldType t) {
    return vdata::isIntegerType(t) || t == vdata::FieldType::Float ||
           t == vdata::FieldType::Decimal;
}

// Checked without decoding, so a long value never becomes one big string; a
// value cut in the middle of a character is not valid either.
bool isValidUtf8(std::string_view s) {
    return QByteArrayView(s.data(), qsizetype(s.size())).isValidUtf8();
}

// Keeps the next break of each kind and looks for one again only once the
// lines have passed it, so each kind is looked for once over the value: a
// search for either break from each line's start tries both at every byte,
// which on a 50 MB value is felt at each repaint.
bool hasLineLongerThan(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) {
        return false;
    }
    std::size_t lf = s.find('\n');
    std::size_t cr = s.find('\r');
    for (std::size_t start = 0; s.size() - start > limit;) {
        const std::size_t end = std::min(lf, cr);
        if (end == std::string_view::npos || end - start > limit) {
            return true;
        }
        start = end + 1;
        if (lf < start) {
            lf = s.find('\n', start);
        }
        if (cr < start) {
            cr = s.find('\r', start);
        }
    }
    return false;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

DatasetModel::DatasetModel(QObject* parent) : QAbstractTableModel(parent) {}

DatasetModel::~DatasetModel() {
    setQuery(nullptr);
}

void DatasetModel::setQuery(vdata::Query* query) {
    if (query == query_) {
        return;
    }
    if (query_) {
        query_->unsubscribe(subscription_);
        subscription_ = 0;
    }
    query_ = query;
    if (query_) {
        subscription_ = query_->subscribe([this](const DataEvent& e) { onEvent(e); },
                                          vdata::DataObservers::Tier::Model);
    }
    readKeyNotes();
    resetAll();
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!query_ || !query_->active() || !index.isValid() || index.row() >= rows_ ||
        index.column() >= columns_) {
        return {};
    }
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::TextAlignmentRole:
        return isNumeric(query_->field(column).dataType())
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    case LongTextRole:
        return isLongText(row, column);
    case Qt::ToolTipRole:
        return toolTip(row, column);
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ForegroundRole:
        break;
    default:
        return {};
    }
    // The query hands out the edit buffer for the row being edited. Text is
    // read in place: only an editor gets the whole value as a string.
    const vdata::Value::Kind kind = query_->cellKind(row, column);
    const bool isNull = kind == vdata::Value::Kind::Null;
    const bool isBlob = kind == vdata::Value::Kind::Blob;
    if (role == Qt::ForegroundRole) {
        return (isNull || isBlob) ? QVariant(QBrush(QColor(128, 128, 128))) : QVariant();
    }
    if (role == Qt::DisplayRole && isNull) {
        return nullText;
    }
    if (isBlob) {
        return blobText;
    }
    if (kind == vdata::Value::Kind::Text) {
        const std::string_view bytes = query_->cellBytes(row, column);
        return role == Qt::DisplayRole ? shownText(bytes)
                                       : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    return tk::qs(query_->shownText(row, column));
}

// A number whole, however narrow its column; the first lines of a text that
// a cell cannot show whole.
QVariant DatasetModel::toolTip(int row, int column) const {
    const vdata::Value::Kind kind = query_->cellKind(row, column);
    if (kind == vdata::Value::Kind::Null || kind == vdata::Value::Kind::Blob) {
        return {};
    }
    if (kind != vdata::Value::Kind::Text) {
        return tk::qs(query_->shownText(row, column));
    }
    const std::string_view bytes = query_->cellBytes(row, column);
    if (bytes.size() <= toolTipPlainLength && bytes.find('\n') == std::string_view::npos) {
        return {};
    }
    std::size_t end = std::min(bytes.size(), toolTipLimit);
    while (end > 0 && end < bytes.size() && isContinuationByte(bytes[end])) {
        --end;
    }
    const QString start = QString::fromUtf8(bytes.data(), qsizetype(end));
    QStringList lines = start.split(QLatin1Char('\n'));
    const bool cut = lines.size() > toolTipLines || bytes.size() > toolTipLimit;
    lines = lines.mid(0, toolTipLines);
    return lines.join(QLatin1Char('\n')) + (cut ? QStringLiteral("\n…") : QString());
}

QString DatasetModel::shownText(std::string_view utf8) {
    std::size_t end = std::min(utf8.size(), displayLimit);
    while (end > 0 && end < utf8.size() && isContinuationByte(utf8[end])) {
        --end;
    }
    end = std::min(end, utf8.substr(0, end).find_first_of("\r\n"));
    QString text = QString::fromUtf8(utf8.data(), qsizetype(end));
    if (end < utf8.size()) {
        text += QChar(0x2026);
    }
    return text;
}

bool DatasetModel::isLongText(int row, int column) const {
    if (query_->field(column).dataType() == vdata::FieldType::Memo) {
        return true;
    }
    if (query_->cellKind(row, column) != vdata::Value::Kind::Text) {
        return false;
    }
    const std::string_view bytes = query_->cellBytes(row, column);
    return bytes.size() > displayLimit || bytes.find_first_of("\r\n") != std::string_view::npos;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!query_) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(indicator(section)) : QVariant();
    }
    if (section < 0 || section >= columns_ || section >= query_->fieldCount()) {
        return {};
    }
    return titleData(section, role);
}

// A column title: the field's name, and for a column of a declared foreign
// key a mark and what it references (or, for a referenced column, who
// refers to it) as its tooltip.
QVariant DatasetModel::titleData(int section, int role) const {
    const auto note = static_cast<std::size_t>(section) < keyNotes_.size()
                          ? keyNotes_[static_cast<std::size_t>(section)]
                          : ColumnKeyNote{};
    switch (role) {
    case Qt::DisplayRole:
        return tk::qs(query_->field(section).displayName());
    case Qt::DecorationRole:
        return note.references ? QVariant(twoImageGlyph(QStyle::SP_ArrowRight)) : QVariant();
    case Qt::ToolTipRole:
        return note.toolTip.isEmpty() ? QVariant() : QVariant(note.toolTip);
    default:
        return {};
    }
}

QString DatasetModel::indicator(int row) const {
    if (!query_ || !query_->active() || row != query_->currentRow()) {
        return QString();
    }
    switch (query_->state()) {
    case DataSetState::Edit:
        return QStringLiteral("\u270E");
    case DataSetState::Insert:
        return QStringLiteral("*");
    default:
        return QStringLiteral("\u25B6");
    }
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (cellEditable(index.row(), index.column())) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

// What the editor would show must be the value itself: binary data and text
// that is not valid UTF-8 would come back changed, so they are not edited here.
// Nor are the cells of a column whose values the database computes.
bool DatasetModel::cellEditable(int row, int column) const {
    if (!query_ || !query_->active() || row >= rows_ || column >= query_->fieldCount() ||
        query_->field(column).dataType() == vdata::FieldType::Bytes ||
        !query_->columnReadOnlyReason(column).empty()) {
        return false;
    }
    switch (query_->cellKind(row, column)) {
    case vdata::Value::Kind::Blob:
        return false;
    case vdata::Value::Kind::Text:
        return textCellEditable(row, column);
    default:
        return true;
    }
}

bool DatasetModel::textCellEditable(int row, int column) const {
    const std::string_view bytes = query_->cellBytes(row, column);
    if (bytes.size() <= displayLimit) {
        return isValidUtf8(bytes);
    }
    const std::uint64_t key = (std::uint64_t(std::uint32_t(row)) << 32) | std::uint32_t(column);
    const auto known = longTextChecked_.find(key);
    if (known != longTextChecked_.end()) {
        return known->second;
    }
    return longTextChecked_[key] = isValidUtf8(bytes) && !hasLineLongerThan(bytes, editLineLimit);
}

QString DatasetModel::notEditableReason(const QModelIndex& index) const {
    if (!index.isValid() || cellEditable(index.row(), index.column())) {
        return QString();
    }
    if (const std::string reason = query_->columnReadOnlyReason(index.column()); !reason.empty()) {
        return tk::qs(reason);
    }
    return hasOverlongLine(index) ? lineTooLongText : notEditableText;
}

bool DatasetModel::hasOverlongLine(const QModelIndex& index) const {
    return query_->cellKind(index.row(), index.column()) == vdata::Value::Kind::Text &&
           hasLineLongerThan(query_->cellBytes(index.row(), index.column()), editLineLimit);
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!query_ || !query_->active() || role != Qt::EditRole || !index.isValid()) {
        return false;
    }
    try {
        if (index.row() != query_->currentRow()) {
            query_->moveTo(index.row());
        }
        vdata::Field& field = query_->field(index.column());
        const QString text = value.toString();
        // An unchanged text leaves the value (and a NULL) alone.
        if (!field.isNull() && tk::qs(field.asString()) == text) {
            return true;
        }
        if (field.isNull() && text.isEmpty()) {
            return true;
        }
        field.setAsString(tk::ss(text));
        return true;
    } catch (const std::exception& e) {
        tk::reportError(e);
        return false;
    }
}

bool DatasetModel::setNull(const QModelIndex& index) {
    if (!query_ || !query_->active() || !index.isValid()) {
        return false;
    }
    if (!cellEditable(index.row(), index.column()) &&
        query_->field(index.column()).dataType() != vdata::FieldType::Bytes) {
        tk::reportError(notEditableReason(index));
        return false;
    }
    try {
        if (index.row() != query_->currentRow()) {
            query_->moveTo(index.row());
        }
        query_->field(index.column()).setValue(vdata::Value::null());
        return true;
    } catch (const std::exception& e) {
        tk::reportError(e);
        return false;
    }
}

void DatasetModel::readKeyNotes() {
    const bool active = query_ && query_->active();
    keyNotes_ = active ? columnKeyNotes(*query_) : std::vector<ColumnKeyNote>{};
}

void DatasetModel::showReadRows() {
    if (readRows_ > 0) {
        beginInsertRows({}, rows_, rows_ + readRows_ - 1);
        rows_ += std::exchange(readRows_, 0);
        endInsertRows();
    }
}

void DatasetModel::resetAll() {
    beginResetModel();
    readRows_ = 0;
    longTextChecked_.clear();
    const bool active = query_ && query_->active();
    rows_ = active ? query_->displayRowCount() : 0;
    columns_ = active ? query_->fieldCount() : 0;
    insertRow_ = active ? query_->insertRow() : -1;
    endResetModel();
}

// Brings the row count in line with the query after a change: a row added
// (an insert begun, or `hint` for a posted one) or removed (the pending insert
// row, or `hint` for a deleted one); anything else resets the model.
void DatasetModel::syncRowCount(int hint) {
    const int now = query_->active() ? query_->displayRowCount() : 0;
    const int inserting = query_->active() ? query_->insertRow() : -1;
    if (now == rows_ + 1) {
        const int at = inserting >= 0 ? inserting : hint;
        if (at < 0 || at > rows_) {
            resetAll();
            return;
        }
        beginInsertRows({}, at, at);
        rows_ = now;
        endInsertRows();
    } else if (now == rows_ - 1) {
        const int at = insertRow_ >= 0 ? insertRow_ : hint;
        if (at < 0 || at >= rows_) {
            resetAll();
            return;
        }
        beginRemoveRows({}, at, at);
        rows_ = now;
        endRemoveRows();
    } else if (now != rows_ || query_->fieldCount() != columns_) {
        resetAll();
        return;
    }
    insertRow_ = inserting;
}

// Repaints the indicator where it was and where it is now; a header asked to
// repaint all rows visits every one of them, which on a big table costs more
// than the move itself.
void DatasetModel::refreshIndicators() {
    const int now = query_ && query_->active() ? query_->currentRow() : -1;
    for (const int row : {indicatorRow_, now}) {
        if (row >= 0 && row < rows_) {
            emit headerDataChanged(Qt::Vertical, row, row);
        }
    }
    indicatorRow_ = now;
}

void DatasetModel::onEvent(const DataEvent& e) {
    // A move of the current row and rows read on leave every value shown as
    // it was, so what was found about long texts still holds.
    if (e.kind != DataEvent::Kind::Scrolled && e.kind != DataEvent::Kind::RowsAppended) {
        longTextChecked_.clear();
    }
    if (e.kind == DataEvent::Kind::UpdatingRecord) {
        if (editorCommit_ && !editorCommit_()) {
            // The editor showed why; the post stops without another message.
            throw vdata::DataError("The typed value was refused", vdata::ErrorKind::Cancelled);
        }
        return;
    }
    ++applying_;
    if (e.kind != DataEvent::Kind::RowsAppended) {
        showReadRows(); // every row shown, before any other change is followed
    }
    handle(e);
    --applying_;
    if (e.kind != DataEvent::Kind::Destroyed && query_ && query_->active()) {
        emit currentRowChanged(query_->currentRow());
    }
}

void DatasetModel::handle(const DataEvent& e) {
    using K = DataEvent::Kind;
    switch (e.kind) {
    case K::Opened:
    case K::Closed:
        readKeyNotes(); // new columns; rows reset alone keep theirs
        [[fallthrough]];
    case K::RowsReset:
        resetAll();
        emit stateChanged();
        return;
    case K::RowChanged:
    case K::FieldChanged: {
        syncRowCount(-1);
        const int row = e.kind == K::RowChanged ? e.row : query_->currentRow();
        if (row >= 0 && row < rows_ && columns_ > 0) {
            emit dataChanged(index(row, 0), index(row, columns_ - 1));
        }
        return;
    }
    case K::RowInserted:
    case K::RowRemoved:
    case K::StateChanged:
        syncRowCount(e.kind == K::StateChanged ? -1 : e.row);
        if (rows_ > 0 && columns_ > 0) {
            emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
        }
        refreshIndicators();
        emit stateChanged();
        return;
    case K::RowsAppended:
        // The new records come after every row shown, the insert row too.
        // They are shown once they are an eighth more than those shown, and
        // when the read ends.
        readRows_ += e.count;
        if (readRows_ >= std::max(rows_ / 8, fewestRowsShown) || !query_->reading()) {
            showReadRows();
        }
        return;
    case K::Scrolled:
        refreshIndicators();
        return;
    case K::UpdatingRecord:
        return;
    case K::Destroyed:
        query_ = nullptr;
        subscription_ = 0;
        readKeyNotes();
        resetAll();
        emit stateChanged();
        return;
    }
}

} // namespace tk
