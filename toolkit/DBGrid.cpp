#include "toolkit/DBGrid.h"

#include "toolkit/CsvExport.h"

#include "data/service/DataSource.h"
#include "data/service/Query.h"
#include "toolkit/DatasetModel.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/GridCellDelegate.h"
#include "toolkit/IndicatorHeader.h"
#include "toolkit/NumberWidths.h"
#include "toolkit/Progress.h"
#include "toolkit/StepReader.h"
#include "toolkit/Text.h"
#include "toolkit/ValueViewer.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <set>

using vdata::DataSetState;

namespace tk {

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent), model_(new DatasetModel(this)), delegate_(new GridCellDelegate(this)),
      copyAction_(new QAction(QStringLiteral("&Copy"), this)),
      exportAction_(new QAction(QStringLiteral("&Export to CSV..."), this)),
      nullAction_(new QAction(QStringLiteral("Set to &NULL"), this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    model_->setEditorCommit([this] { return commitOpenEditor(); });
    // Several cells can be selected, for copying; the current cell still
    // follows the query's record.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSortingEnabled(false);

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsClickable(true);
    titles->setHighlightSections(false);
    // A title click sorts; it must not select the column (and move the record).
    disconnect(titles, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(titles, &QHeaderView::sectionEntered, this, nullptr);
    connect(titles, &QHeaderView::sectionClicked, this, &DBGrid::onTitleClicked);

    auto* indicator = new IndicatorHeader(this);
    setVerticalHeader(indicator);
    // Qt lays out and repaints every row in view whenever rows are added;
    // rows added below the view only lengthen the scroll range.
    disconnect(indicator, SIGNAL(sectionCountChanged(int, int)), this,
               SLOT(rowCountChanged(int, int)));
    connect(indicator, &QHeaderView::sectionCountChanged, this, &DBGrid::followRowCount);
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setDefaultSectionSize(fontMetrics().height() + 6);
    indicator->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) + 10);
    indicator->setDefaultAlignment(Qt::AlignCenter);

    connect(model_, &DatasetModel::currentRowChanged, this, &DBGrid::followQuery);
    connect(model_, &DatasetModel::stateChanged, this, &DBGrid::followState);
    connect(model_, &QAbstractItemModel::modelReset, this, &DBGrid::syncSortIndicator);
    // The header flips its indicator on a click by itself; it shows the
    // query's order instead, whether the sort happens or is refused.
    connect(titles, &QHeaderView::sortIndicatorChanged, this, &DBGrid::syncSortIndicator);
    // A new result gets columns as wide as what they show (the rows in view
    // are measured, so this stays cheap on big tables), within a limit.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        QStringList titles;
        for (int c = 0; c < model_->columnCount(); ++c) {
            titles << model_->headerData(c, Qt::Horizontal).toString();
        }
        if (titles != fittedTitles_) {
            fittedTitles_ = titles;
            fitColumns();
        }
        widenForShownNumbers();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, &DBGrid::widenForShownNumbers);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DBGrid::widenForShownNumbers);

    connect(copyAction_, &QAction::triggered, this, &DBGrid::copySelection);
    connect(exportAction_, &QAction::triggered, this, &DBGrid::exportToCsv);
    // Ctrl+0 works in the grid and in an open cell editor alike.
    nullAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    nullAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(nullAction_);
    connect(nullAction_, &QAction::triggered, this, &DBGrid::setCurrentCellNull);

    watchForPointer(viewport());
    watchForPointer(titles->viewport());
    watchForPointer(indicator->viewport());
    if (auto* corner = findChild<QAbstractButton*>()) {
        watchForPointer(corner);
    }
    setMouseTracking(true);
}

void DBGrid::followRowCount(int oldCount, int newCount) {
    const int lastShown = rowAt(viewport()->height() - 1);
    if (newCount > oldCount && lastShown >= 0 && oldCount > lastShown + 1) {
        updateGeometries();
    } else {
        rowCountChanged(oldCount, newCount);
    }
}

DBGrid::~DBGrid() {
    model_->setQuery(nullptr);
}

void DBGrid::fitColumns() {
    const int widest = fontMetrics().horizontalAdvance(QLatin1Char('M')) * 30;
    // Qt measures as many rows as the precision says (a thousand by
    // default), also beyond those in view and in a window not shown yet: a
    // screenful is enough, with the last few rows, where numbers that grow
    // down the table are widest.
    horizontalHeader()->setResizeContentsPrecision(fittedRows);
    const int rows = model_->rowCount();
    const int gridLine = showGrid() ? 1 : 0;
    for (int c = 0; c < model_->columnCount(); ++c) {
        resizeColumnToContents(c);
        int width = columnWidth(c);
        for (int r = std::max(fittedRows, rows - fittedLastRows); r < rows; ++r) {
            width = std::max(width, sizeHintForIndex(model_->index(r, c)).width() + gridLine);
        }
        setColumnWidth(c, std::min(width, widest));
    }
}

// A column of numbers or dates never cuts a value in view: the rows shown
// after the columns were fitted (read in steps, added, scrolled to) widen
// it as far as their values need. Columns only ever grow here, so nothing
// jumps back and forth while the user reads; only the rows in view are
// measured, so a big table read in steps costs nothing more.
void DBGrid::widenForShownNumbers() {
    const vdata::Query* query = model_->query();
    const int first = rowAt(0);
    if (!query || !query->active() || first < 0) {
        return;
    }
    const int bottom = rowAt(viewport()->height() - 1);
    const int last = bottom < 0 ? model_->rowCount() - 1 : bottom;
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) +
                       (showGrid() ? 1 : 0);
    for (int c = 0; c < model_->columnCount(); ++c) {
        const int chars = widestNumberText(*query, c, first, last);
        if (chars == 0) {
            continue;
        }
        const int needed =
            fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + margin;
        if (needed > columnWidth(c)) {
            setColumnWidth(c, needed);
        }
    }
}

void DBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    widenForShownNumbers();
}

void DBGrid::watchForPointer(QWidget* w) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
}

void DBGrid::setDataSource(vdata::DataSource* source) {
    dataSource_ = source;
    model_->setQuery(source ? source->dataSet() : nullptr);
}

vdata::Query* DBGrid::dataSet() const {
    return model_->query();
}

QString DBGrid::fieldName(int column) const {
    vdata::Query* q = dataSet();
    if (!q || !q->active() || column < 0 || column >= q->fieldCount()) {
        return QString();
    }
    return tk::qs(q->field(column).name());
}

void DBGrid::setTitleBold(bool bold) {
    QFont f = horizontalHeader()->font();
    f.setBold(bold);
    horizontalHeader()->setFont(f);
}

QPoint DBGrid::cellAt(int x, int y) const {
    const QRect titles = horizontalHeader()->geometry();
    const QRect indicator = verticalHeader()->geometry();
    int col = -1;
    int row = -1;
    if (x >= 0 && x < indicator.right() + 1 && x < width()) {
        col = 0;
    } else if (x >= 0 && x < width()) {
        const int c = columnAt(x - viewport()->x());
        col = c < 0 ? -1 : c + 1;
    }
    if (y >= 0 && y < titles.bottom() + 1) {
        row = 0;
    } else if (y >= 0 && y < height()) {
        const int r = rowAt(y - viewport()->y());
        row = r < 0 ? -1 : r + 1;
    }
    return {col, row};
}

bool DBGrid::postPending() {
    return postPending([](const std::exception& e) {
        tk::reportError(e);
        return false;
    });
}

bool DBGrid::postPending(const std::function<bool(const std::exception&)>& failed) {
    vdata::Query* q = dataSet();
    if (!q || !q->active()) {
        return true;
    }
    if (!commitOpenEditor()) {
        return false;
    }
    const auto state = q->state();
    if (state != DataSetState::Edit && state != DataSetState::Insert) {
        return true;
    }
    try {
        if (q->modified()) {
            q->post();
        } else {
            q->cancel();
        }
        return true;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

bool DBGrid::moveQueryTo(int row) {
    vdata::Query* q = dataSet();
    if (!q || !q->active() || row == q->currentRow()) {
        return true;
    }
    if (!postPending()) {
        return false;
    }
    try {
        // Ending an insert may have removed a row above the target.
        if (row >= q->displayRowCount()) {
            row = q->displayRowCount() - 1;
        }
        if (row >= 0) {
            // A linked detail reads its rows again, which can take long.
            const ProgressGuard progress(this);
            q->moveTo(row);
        }
        return true;
    } catch (const std::exception& e) {
        tk::reportError(e);
        return false;
    }
}

void DBGrid::followQuery(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        return;
    }
    const QModelIndex now = currentIndex();
    if (now.isValid() && now.row() == row) {
        return;
    }
    if (!now.isValid()) {
        // After a reset the scroll range still fits the old rows, and the
        // new current row would not be scrolled into sight.
        updateGeometries();
    }
    ++syncing_;
    setCurrentIndex(model_->index(row, now.isValid() ? now.column() : 0));
    --syncing_;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base commits an open editor of the previous cell first.
    keptEditor_ = nullptr;
    QTableView::currentChanged(current, previous);
    if (keptEditor_ && previous.isValid()) {
        // The cell refused the value typed there: stay on it, text and all.
        QPointer<QWidget> editor = keptEditor_;
        keptEditor_ = nullptr;
        ++syncing_;
        setCurrentIndex(previous);
        --syncing_;
        if (editor) {
            editor->setFocus();
        }
        return;
    }
    vdata::Query* q = dataSet();
    // Rows that come and go with a change of the query make the view adjust
    // its current cell; that must not move the query back.
    if (syncing_ > 0 || model_->applyingQueryChange() || !q || !current.isValid() ||
        current.row() == q->currentRow()) {
        return;
    }
    if (!moveQueryTo(current.row())) {
        // The row with the refused edit stays current.
        ++syncing_;
        setCurrentIndex(model_->index(q->currentRow(), previous.isValid() ? previous.column() : 0));
        --syncing_;
    }
}

bool DBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    vdata::Query* q = dataSet();
    const bool asked = index.isValid() && (editTriggers() & trigger) != 0;
    if (!asked || !q || !q->active()) {
        return QTableView::edit(index, trigger, event);
    }
    const bool readOnly = !q->canModify();
    if (readOnly || !(model_->flags(index) & Qt::ItemIsEditable)) {
        if (state() == EditingState && !readOnly) {
            return false;
        }
        const QString reason =
            readOnly ? tk::qs(q->readOnlyReason()) : model_->notEditableReason(index);
        // A double-click or F2 shows the value whole where it cannot be
        // edited, unless a line of it is too long for any text box.
        const bool toRead = trigger == DoubleClicked || trigger == EditKeyPressed;
        if (toRead && !model_->hasOverlongLine(index)) {
            showValue(index, reason);
        } else {
            tk::reportError(toRead ? DatasetModel::lineTooLongText : reason);
        }
        return false;
    }
    const bool wasBrowsing = q->state() == DataSetState::Browse;
    if (!startRecordEdit(index)) {
        return false;
    }
    const bool opened = QTableView::edit(index, trigger, event);
    if (!opened && wasBrowsing && q->state() == DataSetState::Edit && !q->modified()) {
        tk::guarded([q] { q->cancel(); });
    }
    if (opened && (trigger == EditKeyPressed || trigger == DoubleClicked)) {
        GridCellDelegate::placeCursorAtEnd(delegate_->openEditor());
    }
    return opened;
}

// A value the grid cannot edit opens whole in the viewer, with the reason.
void DBGrid::showValue(const QModelIndex& index, const QString& reason) {
    const vdata::Query* q = dataSet();
    const auto kind = q->cellKind(index.row(), index.column());
    const std::string_view bytes =
        kind == vdata::Value::Kind::Text ? q->cellBytes(index.row(), index.column()) : "";
    const QString value =
        kind == vdata::Value::Kind::Blob
            ? QStringLiteral("(%1 bytes of binary data)")
                  .arg(q->cellBytes(index.row(), index.column()).size())
        : kind == vdata::Value::Kind::Text
            ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
            : tk::qs(q->shownText(index.row(), index.column()));
    if (!viewer_) {
        viewer_ = new ValueViewer(this);
        viewer_->setAttribute(Qt::WA_DeleteOnClose);
    }
    viewer_->showValue(model_->headerData(index.column(), Qt::Horizontal).toString(), value,
                       kind == vdata::Value::Kind::Null, reason);
}

// Opening a cell editor starts editing the record, as typing does, so the
// indicator and the navigator's Save and Cancel show it at once. It happens
// before the editor exists: the change of state then cannot reach an editor
// that already holds the user's first key.
bool DBGrid::startRecordEdit(const QModelIndex& index) {
    vdata::Query* q = dataSet();
    if (state() == EditingState || q->state() != DataSetState::Browse || q->isEmpty() ||
        index.row() != q->currentRow()) {
        return true;
    }
    try {
        q->edit();
        return true;
    } catch (const std::exception& e) {
        tk::reportError(e);
        return false;
    }
}

bool DBGrid::commitOpenEditor() {
    QWidget* editor = delegate_->openEditor();
    if (!editor) {
        return true;
    }
    QTableView::commitData(editor);
    if (GridCellDelegate::takeRefusal(editor)) {
        editor->setFocus();
        return false;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

// A refused value keeps its editor open for the user to correct. Esc closes
// the editor with the cell as it was, and leaves a record it opened unchanged.
// A request for an editor that no longer exists is dropped unread: Qt queues
// some (focus leaving the editor), and the editor may be gone when they
// arrive. Editors are children of the viewport until they are deleted.
void DBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (!viewport()->children().contains(editor)) {
        return;
    }
    if (GridCellDelegate::takeRefusal(editor)) {
        keptEditor_ = editor;
        editor->setFocus();
        return;
    }
    QTableView::closeEditor(editor, hint);
    vdata::Query* q = dataSet();
    if (hint == QAbstractItemDelegate::RevertModelCache && q && q->active() &&
        q->state() == DataSetState::Edit && !q->modified()) {
        tk::guarded([q] { q->cancel(); });
    }
}

// A record whose editing ended without the editor (Cancel, a re-query) takes
// the open editor with it; what it held was not wanted.
void DBGrid::followState() {
    vdata::Query* q = dataSet();
    QWidget* editor = delegate_->openEditor();
    if (editor &&
        (!q || q->state() == DataSetState::Browse || q->state() == DataSetState::Inactive)) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
}

void DBGrid::syncSortIndicator() {
    QHeaderView* titles = horizontalHeader();
    vdata::Query* q = dataSet();
    const std::string sort = q && q->active() ? q->sort() : std::string();
    const vdata::SortKey key = vdata::parseSort(sort);
    const vdata::Field* field = sort.empty() ? nullptr : q->findField(key.field);
    const QSignalBlocker block(titles);
    titles->setSortIndicatorShown(field != nullptr);
    titles->setSortIndicator(field ? field->index() : -1,
                             key.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    // The arrow takes room of its own: a narrow title widens for it rather
    // than hide under it.
    if (field && columnWidth(field->index()) < titles->sectionSizeHint(field->index())) {
        setColumnWidth(field->index(), titles->sectionSizeHint(field->index()));
    }
}

namespace {

// A field of tab-separated text: quoted when it holds a tab, a line break or
// a quote, with inner quotes doubled.
QString tabField(const QString& text) {
    static const QString special = QStringLiteral("\t\r\n\"");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); })) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString DBGrid::selectionText() const {
    const QItemSelectionModel* selection = selectionModel();
    std::set<int> rowSet;
    std::set<int> columnSet;
    for (const QItemSelectionRange& range : selection->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            rowSet.insert(r);
        }
        for (int c = range.left(); c <= range.right(); ++c) {
            columnSet.insert(c);
        }
    }
    if (rowSet.empty() || columnSet.empty()) {
        return {};
    }
    // The edit role holds a cell's whole text, where the display shows its
    // first line and NULL as a placeholder.
    const auto cellText = [this](int r, int c) {
        return model_->data(model_->index(r, c), Qt::EditRole).toString();
    };
    if (rowSet.size() == 1 && columnSet.size() == 1) {
        return cellText(*rowSet.begin(), *columnSet.begin());
    }
    QStringList lines;
    QStringList fields;
    const bool wholeColumns = std::all_of(columnSet.begin(), columnSet.end(),
                                          [&](int c) { return selection->isColumnSelected(c); });
    if (wholeColumns) {
        for (const int c : columnSet) {
            fields << tabField(model_->headerData(c, Qt::Horizontal).toString());
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    for (const int r : rowSet) {
        fields.clear();
        for (const int c : columnSet) {
            const QModelIndex index = model_->index(r, c);
            fields << (selection->isSelected(index) ? tabField(cellText(r, c)) : QString());
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void DBGrid::copySelection() {
    if (!selectionModel()->hasSelection()) {
        return;
    }
    QGuiApplication::clipboard()->setText(selectionText());
}

void DBGrid::exportToCsv() {
    vdata::Query* q = model_->query();
    if (!q || !q->active() || !postPending() || !readAllRows(this, *q)) {
        return;
    }
    const QString written = tk::exportToCsv(this, *q);
    if (!written.isEmpty()) {
        emit exported(written, q->recordCount());
    }
}

// What was typed into an open editor is dropped: the cell becomes NULL.
void DBGrid::setCurrentCellNull() {
    const QModelIndex cell = currentIndex();
    if (QWidget* editor = delegate_->openEditor()) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
    model_->setNull(cell);
    setFocus();
}

void DBGrid::contextMenuEvent(QContextMenuEvent* event) {
    const vdata::Query* q = dataSet();
    copyAction_->setEnabled(selectionModel()->hasSelection());
    exportAction_->setEnabled(q && q->active());
    nullAction_->setEnabled(q && q->active() && currentIndex().isValid());
    QMenu menu(this);
    menu.addAction(copyAction_);
    menu.addAction(nullAction_);
    emit contextMenuOpening(&menu);
    menu.addSeparator();
    menu.addAction(exportAction_);
    menu.exec(event->globalPos());
}

// The window the grid's keyboard moves within: the MDI window it sits in,
// else its top-level window.
static QWidget* focusScope(QWidget* w) {
    QWidget* scope = w;
    while (scope->parentWidget() && !qobject_cast<QMdiSubWindow*>(scope->parentWidget()) &&
           !scope->isWindow()) {
        scope = scope->parentWidget();
    }
    return scope;
}

void DBGrid::leaveGrid(bool forward) {
    QWidget* scope = focusScope(this);
    for (QWidget* w = forward ? nextInFocusChain() : previousInFocusChain(); w && w != this;
         w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
        const bool takesTab = (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        if (takesTab && scope->isAncestorOf(w) && !isAncestorOf(w) && w->isVisibleTo(scope) &&
            w->isEnabled()) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copySelection();
        event->accept();
        return;
    }
    int key = event->key();
    emit keyDown(this, key, event->modifiers());
    if (key == 0) {
        event->accept();
        return;
    }
    // Keys that leave the cell hand in the open editor's text first; a
    // refused value keeps the editor, and the key goes nowhere.
    const bool leaves = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                        key == Qt::Key_PageDown;
    if (leaves && !commitOpenEditor()) {
        event->accept();
        return;
    }
    vdata::Query* q = dataSet();
    if (key == Qt::Key_Escape && q && q->active() &&
        (q->state() == DataSetState::Edit || q->state() == DataSetState::Insert)) {
        tk::guarded([q] { q->cancel(); });
        event->accept();
        return;
    }
    if (key != event->key()) {
        QKeyEvent replaced(event->type(), key, event->modifiers(), event->text());
        QTableView::keyPressEvent(&replaced);
        return;
    }
    QTableView::keyPressEvent(event);
}

// With Ctrl a move key moves the current cell but would leave the highlight
// where it was, so that the grid showed two cells as current: the highlight
// follows the current cell as without Ctrl.
QItemSelectionModel::SelectionFlags DBGrid::selectionCommand(const QModelIndex& index,
                                                             const QEvent* event) const {
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool move = key->key() == Qt::Key_Home || key->key() == Qt::Key_End ||
                          key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                          key->key() == Qt::Key_Left || key->key() == Qt::Key_Right ||
                          key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown;
        if (move && key->modifiers() == Qt::ControlModifier) {
            return QItemSelectionModel::ClearAndSelect;
        }
    }
    return QTableView::selectionCommand(index, event);
}

// A click on another cell hands in the open editor's text first; a refused
// value keeps the editor and the click goes nowhere.
void DBGrid::mousePressEvent(QMouseEvent* event) {
    if (delegate_->openEditor() && indexAt(event->position().toPoint()) != currentIndex() &&
        !commitOpenEditor()) {
        event->accept();
        return;
    }
    const QModelIndex clicked = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    // A row that refused to save stays current; the view would still select
    // the cell clicked, and show two current cells.
    if (clicked.isValid() && currentIndex().isValid() && clicked != currentIndex()) {
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
    }
}

// The grid takes the keyboard from an open editor on a click beside it or on
// the way to another cell; the editor keeps it until the grid closes it, so
// what the user types next still goes into the cell.
void DBGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (QWidget* editor = delegate_->openEditor(); editor && state() == EditingState) {
        editor->setFocus();
    }
}

// The second of two quick clicks on a title arrives as a double-click, which
// the header takes for no click at all. Away from a column's edge (where a
// double-click fits the column to its contents) it is a press like any other,
// so that every click sorts.
bool DBGrid::titleDoubleClickIsPress(QEvent* event) {
    auto* me = static_cast<QMouseEvent*>(event);
    QHeaderView* titles = horizontalHeader();
    const int x = me->position().toPoint().x();
    const int section = titles->logicalIndexAt(x);
    if (me->button() != Qt::LeftButton || section < 0) {
        return false;
    }
    const int grip = titles->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, titles);
    const int left = titles->sectionViewportPosition(section);
    if (x < left + grip || x > left + titles->sectionSize(section) - grip) {
        return false;
    }
    QMouseEvent press(QEvent::MouseButtonPress, me->position(), me->scenePosition(),
                      me->globalPosition(), me->button(), me->buttons(), me->modifiers(),
                      me->pointingDevice());
    QCoreApplication::sendEvent(titles->viewport(), &press);
    return true;
}

bool DBGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched == horizontalHeader()->viewport() &&
        titleDoubleClickIsPress(event)) {
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        auto* w = static_cast<QWidget*>(watched);
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint p = w->mapTo(this, me->position().toPoint());
        emit mouseMove(this, me->modifiers(), p.x(), p.y());
    }
    return QTableView::eventFilter(watched, event);
}

void DBGrid::onTitleClicked(int section) {
    const QString name = fieldName(section);
    if (!name.isEmpty()) {
        emit titleClick(this, name);
    }
}

} // namespace tk
