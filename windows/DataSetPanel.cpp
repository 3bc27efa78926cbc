#include "windows/DataSetPanel.h"

#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/ReferencedRows.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Dialogs.h"
#include "toolkit/EditBox.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/FlowBarLayout.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Progress.h"
#include "toolkit/StepReader.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

using tk::qs;
using tk::ss;

const QString DataSetPanel::searchPlaceholder =
    QStringLiteral("Enter your search term, hit [RETURN]");
const QString DataSetPanel::searchAgainPlaceholder =
    QStringLiteral("Enter a term to search, hit [RETURN]");
const QString DataSetPanel::noDataset = QStringLiteral("No dataset opened!");

namespace {

const QColor placeholderGrey(128, 128, 128);

} // namespace

DataSetPanel::DataSetPanel(vdata::DataSource& source, QWidget* parent)
    : QWidget(parent), source_(source), query_(*source.dataSet()) {
    setupUi(this);
    Grid->setDataSource(&source_);
    DBNavigator->setDataSource(&source_);
    Grid->setTitleBold(true);
    edTrazi->setCursorPosition(0);
    query_.afterScroll = [this](vdata::Query&) { showRecord(); };
    showNoDataset();
    setNavigatorCaptions();
    fitSearchBar();
    flowTopBar();
    connectHandlers();
    addNavigatorKeys();
    new tk::StepReader(query_, this);
}

DataSetPanel::~DataSetPanel() {
    if (subscription_ != 0) {
        query_.unsubscribe(subscription_);
    }
}

// The label keeps its colon and both placeholders show whole, whatever the
// font: the box, its column list and their bar widen as far as needed.
void DataSetPanel::fitSearchBar() {
    Label1->resize(std::max(Label1->width(), Label1->sizeHint().width()), Label1->height());
    const QFontMetrics metrics = edTrazi->fontMetrics();
    const int text = std::max(metrics.horizontalAdvance(searchPlaceholder),
                              metrics.horizontalAdvance(searchAgainPlaceholder));
    const int frame = edTrazi->width() - edTrazi->contentsRect().width();
    const int grow = text + frame + 2 * metrics.averageCharWidth() - edTrazi->width();
    if (grow <= 0) {
        return;
    }
    edTrazi->resize(edTrazi->width() + grow, edTrazi->height());
    cboTraziPo->resize(cboTraziPo->width() + grow, cboTraziPo->height());
    pnlSearch->setFixedWidth(pnlSearch->minimumWidth() + grow);
}

// The search box, the filter box and the navigator stand side by side and
// wrap onto more rows in a narrow window, rather than cover one another.
void DataSetPanel::flowTopBar() {
    // The filter box is never narrower than its example condition.
    const int example = edFilter->fontMetrics().horizontalAdvance(edFilter->placeholderText());
    const QMargins margins = pnlFilter->layout()->contentsMargins();
    pnlFilter->setMinimumWidth(
        std::max(pnlFilter->minimumWidth(), example + margins.left() + margins.right() +
                                                4 * edFilter->fontMetrics().averageCharWidth()));
    delete pnlTop->layout();
    auto* bar = new tk::FlowBarLayout(pnlTop);
    bar->setContentsMargins(1, 1, 1, 1);
    bar->setSpacing(0);
    for (QFrame* w : {pnlSearch, pnlFilter, pnlNav}) {
        bar->addWidget(w);
    }
}

// Keys for the navigator's commands while the keyboard is in this panel; the
// buttons' tooltips name them. Alt+A (the caption's mnemonic), Esc (Cancel)
// and F2 (Edit) are the grid's and the button's own already.
void DataSetPanel::addNavigatorKeys() {
    using Nav = tk::DBNavigator;
    struct Key {
        Nav::Button button;
        QKeySequence sequence;
        const char* tip;
    };
    const Key keys[] = {
        {Nav::Insert, QKeySequence(Qt::CTRL | Qt::Key_Insert), "Add a record (Alt+A, Ctrl+Insert)"},
        {Nav::Delete, QKeySequence(Qt::ALT | Qt::Key_Delete), "Delete the record (Alt+Delete)"},
        {Nav::Edit, QKeySequence(), "Edit the record (F2)"},
        {Nav::Post, QKeySequence(Qt::CTRL | Qt::Key_S), "Save the record (Ctrl+S)"},
        {Nav::Cancel, QKeySequence(), "Cancel the changes (Esc)"},
        {Nav::Refresh, QKeySequence(Qt::Key_F5), "Read the data again (F5)"},
    };
    for (const Key& key : keys) {
        DBNavigator->button(key.button)->setToolTip(QString::fromUtf8(key.tip));
        if (key.sequence.isEmpty()) {
            continue;
        }
        auto* action = new QAction(this);
        action->setShortcut(key.sequence);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, button = key.button] {
            if (DBNavigator->button(button)->isEnabled()) {
                DBNavigator->click(button);
            }
        });
    }
}

void DataSetPanel::connectHandlers() {
    connect(Grid, &tk::DBGrid::titleClick, this,
            tk::handler([this](QObject*, const QString& name) { sort(name); }));
    connect(Grid, &tk::DBGrid::mouseMove, this,
            tk::handler(
                [this](QObject*, Qt::KeyboardModifiers, int x, int y) { showPointerOver(x, y); }));
    // Records are deleted only through the navigator (which asks first), so
    // the grid's own Ctrl+Delete never runs.
    connect(Grid, &tk::DBGrid::keyDown, this, [](QObject*, int& key, Qt::KeyboardModifiers shift) {
        if (key == Qt::Key_Delete && (shift & Qt::ControlModifier)) {
            key = 0;
        }
    });
    connect(edTrazi, &tk::EditBox::entered, this, tk::handler(this, &DataSetPanel::enterSearchBox));
    connect(edTrazi, &tk::EditBox::exited, this, tk::handler(this, &DataSetPanel::leaveSearchBox));
    connect(edTrazi, &tk::EditBox::keyDown, this,
            tk::handler([this](QObject*, int key, Qt::KeyboardModifiers) {
                if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                    find();
                }
            }));
    connect(Grid, &tk::DBGrid::exported, this, [this](const QString& fileName, int rows) {
        emit statusMessage(QStringLiteral("%1 rows written to %2")
                               .arg(rows)
                               .arg(QDir::toNativeSeparators(fileName)));
    });
    connect(edFilter, &QLineEdit::returnPressed, this,
            tk::handler(this, &DataSetPanel::applyFilter));
    // The box's clear button shows every row again at once; a text deleted
    // by hand waits for Return, so that typing a new condition does not
    // bring every row back on the way.
    QAction* clear = edFilter->addAction(style()->standardIcon(QStyle::SP_LineEditClearButton),
                                         QLineEdit::TrailingPosition);
    clear->setObjectName(QStringLiteral("actClearFilter"));
    clear->setToolTip(QStringLiteral("Clear the filter"));
    clear->setVisible(false);
    connect(edFilter, &QLineEdit::textChanged, clear,
            [clear](const QString& text) { clear->setVisible(!text.isEmpty()); });
    connect(clear, &QAction::triggered, this, tk::handler([this] {
                edFilter->clear();
                applyFilter();
            }));
    subscription_ = query_.subscribe([this](const vdata::DataEvent& e) { followQuery(e); });
    connect(cboTraziPo, &QComboBox::activated, this,
            [this] { edTrazi->setFocus(Qt::OtherFocusReason); });
}

// A new result (another statement, other columns) comes without filter. The
// counter follows a read in steps.
void DataSetPanel::followQuery(const vdata::DataEvent& e) {
    using Kind = vdata::DataEvent::Kind;
    if (e.kind == Kind::Opened || e.kind == Kind::Closed) {
        const QSignalBlocker quiet(edFilter);
        edFilter->setText(qs(query_.filter()));
    } else if (e.kind == Kind::Destroyed) {
        subscription_ = 0;
        return;
    }
    if ((e.kind == Kind::Opened || e.kind == Kind::RowsReset) && query_.reading()) {
        readSince_.start();
        QTimer::singleShot(countWhileReadingAfterMs, this, [this] { showRecord(); });
    } else if (e.kind == Kind::RowsAppended) {
        showRecord();
    }
}

void DataSetPanel::nameWidgets(const QString& suffix) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{pnlTop, pnlSearch, pnlFilter, pnlNav, edTrazi, cboTraziPo,
                                         edFilter, DBNavigator, Grid, lblRecNo}) {
        w->setObjectName(w->objectName() + suffix);
    }
}

void DataSetPanel::setNavigatorCaptions() {
    static const char* const captions[tk::DBNavigator::buttonCount] = {
        "First", "Proir", "Next", "Last", "&Add", "Delete", "Edit", "Save", "Cancel", "Refresh"};
    static const QStyle::StandardPixmap glyphs[tk::DBNavigator::buttonCount] = {
        QStyle::SP_MediaSkipBackward,
        QStyle::SP_MediaSeekBackward,
        QStyle::SP_MediaSeekForward,
        QStyle::SP_MediaSkipForward,
        QStyle::SP_FileIcon,
        QStyle::SP_TrashIcon,
        QStyle::SP_FileDialogDetailedView,
        QStyle::SP_DialogSaveButton,
        QStyle::SP_DialogCancelButton,
        QStyle::SP_BrowserReload};
    for (int i = 0; i < tk::DBNavigator::buttonCount; ++i) {
        DBNavigator->setCaption(i, QString::fromUtf8(captions[i]));
        DBNavigator->setGlyph(i, tk::twoImageGlyph(glyphs[i]), true);
    }
}

// ---- the query -----------------------------------------------------------

void DataSetPanel::showNoDataset() {
    lblRecNo->setText(noDataset);
    lblRecNo->setToolTip(QString());
}

void DataSetPanel::openIfSet() {
    if (!query_.sql().empty()) {
        query_.open();
    }
}

void DataSetPanel::fillSearchColumns() {
    cboTraziPo->clear();
    for (int i = 0; i < query_.fieldCount(); ++i) {
        const vdata::FieldType type = query_.field(i).dataType();
        if (vdata::isIntegerType(type) || type == vdata::FieldType::Date ||
            type == vdata::FieldType::WideString) {
            const std::weak_ptr<vdata::Field> field = query_.fieldPtr(i);
            cboTraziPo->addItem(qs(query_.field(i).displayName()), QVariant::fromValue(field));
        }
    }
    cboTraziPo->setCurrentIndex(cboTraziPo->count() > 0 ? 0 : -1);
}

std::shared_ptr<vdata::Field> DataSetPanel::entryField(const QComboBox* list, int index) {
    if (!list || index < 0 || index >= list->count()) {
        return nullptr;
    }
    return list->itemData(index).value<std::weak_ptr<vdata::Field>>().lock();
}

void DataSetPanel::refresh() {
    if (!query_.active()) {
        return;
    }
    try {
        const tk::ProgressGuard progress(window());
        query_.requery();
    } catch (...) {
        // A re-query that failed or was cancelled closed the query.
        showClosed();
        throw;
    }
    showRecord();
    DBNavigator->button(tk::DBNavigator::Edit)
        ->setEnabled(query_.recordCount() > 0 && query_.canModify());
}

void DataSetPanel::showClosed() {
    if (!query_.active()) {
        showNoDataset();
    }
}

void DataSetPanel::showRecord() {
    if (query_.active()) {
        const QString total = shownTotal();
        lblRecNo->setText(total.isEmpty()
                              ? QString()
                              : QStringLiteral("Record %1 / %2").arg(query_.recNo()).arg(total));
        // Why the navigator offers no edits, where it offers none.
        lblRecNo->setToolTip(qs(query_.readOnlyReason()));
    }
}

// The records read; while more are being read, those so far and "…", once
// the read has run long enough to be noticed (until then the counter stays
// blank, so that a short read shows its total only).
QString DataSetPanel::shownTotal() const {
    const QString count = QString::number(query_.recordCount());
    if (query_.reading()) {
        const bool noticed =
            readSince_.isValid() && readSince_.elapsed() >= countWhileReadingAfterMs;
        return noticed ? count + QStringLiteral("…") : QString();
    }
    return query_.readStopped() ? count + QStringLiteral(" (reading stopped)") : count;
}

bool DataSetPanel::readAllRows() {
    return tk::readAllRows(window(), query_);
}

void DataSetPanel::readAgainOnRefresh() {
    DBNavigator->beforeAction = [this](tk::DBNavigator*, int button) {
        return beforeNavigatorAction(button);
    };
}

// The navigator's Refresh (F5) reads the query again here, with the progress
// dialog and the counter, and keeps the user's place; the navigator's own
// refresh does not run.
bool DataSetPanel::beforeNavigatorAction(int button) {
    if (button != tk::DBNavigator::Refresh) {
        return true;
    }
    readAgainKeepingPlace();
    emit refreshed();
    return false;
}

// The row among those read now that holds `before`'s values (the current
// row's, taken before reading again): by the table's key where the engine
// names one, else by every value that can be compared as text; -1 when none.
// The key is asked for after the read, so that a read that fails (a lost
// connection, say) reports first.
int DataSetPanel::findRowAgain(const std::vector<std::string>& names,
                               const std::vector<vdata::Value>& before) const {
    const std::string table = query_.editableTable();
    const std::vector<std::string> key = !table.empty() && query_.connection()
                                             ? query_.connection()->tableOrderKey(table)
                                             : std::vector<std::string>();
    std::vector<std::string> columns;
    std::vector<vdata::Value> values;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const vdata::Value::Kind kind = before[i].kind;
        const bool use = key.empty()
                             ? kind != vdata::Value::Kind::Null && kind != vdata::Value::Kind::Blob
                             : std::find(key.begin(), key.end(), names[i]) != key.end();
        if (use) {
            columns.push_back(names[i]);
            values.push_back(before[i]);
        }
    }
    return values.empty() ? -1 : vdata::findRow(query_, columns, values);
}

// Reads the rows again and comes back to the row that was current (found by
// its values, else the same position) with the grid scrolled as it was. A
// row read in steps is looked for among the rows up to a step past its old
// position.
void DataSetPanel::readAgainKeepingPlace() {
    const int row = query_.active() ? query_.currentRow() : -1;
    if (row < 0) {
        refresh();
        return;
    }
    std::vector<std::string> names;
    for (int c = 0; c < query_.fieldCount(); ++c) {
        names.push_back(query_.field(c).name());
    }
    const std::vector<vdata::Value> before =
        vdata::currentValues(query_, names).value_or(std::vector<vdata::Value>());
    const int top = Grid->verticalScrollBar()->value();
    const int left = Grid->horizontalScrollBar()->value();
    refresh();
    try {
        while (query_.reading() && query_.recordCount() <= row + int(vdata::Query::firstRows)) {
            query_.readMore(vdata::Query::firstRows);
        }
    } catch (const std::exception& e) {
        tk::reportError(e); // the rows read are kept; the place is looked for among them
    }
    int found = before.size() == names.size() ? findRowAgain(names, before) : -1;
    if (found < 0) {
        found = std::min(row, query_.recordCount() - 1);
    }
    if (found >= 0) {
        query_.moveTo(found);
    }
    Grid->doItemsLayout();
    Grid->verticalScrollBar()->setValue(top);
    Grid->horizontalScrollBar()->setValue(left);
    Grid->scrollTo(Grid->currentIndex());
    showRecord();
}

// ---- the grid ------------------------------------------------------------

void DataSetPanel::sort(const QString& fieldName) {
    if (!query_.active() || !readAllRows()) {
        return;
    }
    const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
    try {
        const tk::ProgressGuard progress(window(), QStringLiteral("Rows sorted"));
        const std::string name = ss(fieldName);
        query_.setSort(query_.sort() == name ? name + " DESC" : name);
    } catch (const std::exception&) {
        // Deliberately silent: the grid keeps the order it had (also when
        // the user cancelled the sort).
    }
}

void DataSetPanel::showPointerOver(int x, int y) {
    const bool overTitles = Grid->cellAt(x, y).y() == 0;
    tk::setWidgetCursor(Grid, overTitles ? tk::CursorShape::HandPoint : tk::CursorShape::Default);
}

// Without a connection to the server nothing can save the change, and
// keeping the window would keep the user from disconnecting or leaving: the
// window closes without it, and the message says which change was not saved.
// Any other refusal is reported and keeps the window with the typed values.
bool DataSetPanel::savePendingEdit() {
    return Grid->postPending([this](const std::exception& e) {
        const auto* error = dynamic_cast<const vdata::DataError*>(&e);
        if (error == nullptr || error->kind() != vdata::ErrorKind::Connection) {
            tk::reportError(e);
            return false;
        }
        tk::showMessage(tk::MessageKind::Warning,
                        QStringLiteral("The change to table \"%1\" was not saved, and the window "
                                       "closed without it.\n%2")
                            .arg(qs(query_.editableTable()), qs(e.what())));
        return true;
    });
}

// ---- the filter box ------------------------------------------------------

void DataSetPanel::applyFilter() {
    if (!query_.active() || !readAllRows()) {
        return;
    }
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::Hourglass);
        const tk::ProgressGuard progress(window(), QStringLiteral("Rows filtered"));
        query_.setFilter(ss(edFilter->text()));
    } catch (const vdata::FilterError& e) {
        markFilterError(e);
        throw;
    }
    const int count = query_.recordCount();
    emit statusMessage(query_.filter().empty()
                           ? QStringLiteral("Filter cleared: %1 rows shown").arg(count)
                       : count == 1 ? QStringLiteral("1 row matches the filter")
                                    : QStringLiteral("%1 rows match the filter").arg(count));
}

// Selects the part of the filter box's text that could not be read.
void DataSetPanel::markFilterError(const vdata::FilterError& e) {
    const std::string text = ss(edFilter->text());
    const auto charsIn = [&](std::size_t bytes) {
        return static_cast<int>(qs(text.substr(0, std::min(bytes, text.size()))).size());
    };
    const int start = charsIn(e.position());
    edFilter->setFocus(Qt::OtherFocusReason);
    edFilter->setSelection(start, charsIn(e.position() + e.length()) - start);
}

// ---- the search box ------------------------------------------------------

void DataSetPanel::enterSearchBox() {
    if (edTrazi->text() == searchPlaceholder || edTrazi->text() == searchAgainPlaceholder) {
        edTrazi->clear();
        edTrazi->setTextColor(QApplication::palette().color(QPalette::Text));
    }
}

void DataSetPanel::leaveSearchBox() {
    if (edTrazi->text().isEmpty()) {
        edTrazi->setTextColor(placeholderGrey);
        edTrazi->setText(searchAgainPlaceholder);
        edTrazi->setCursorPosition(0); // show the placeholder from its start
    }
}

void DataSetPanel::find(bool backward) {
    if (cboTraziPo->currentIndex() < 0) {
        tk::reportError(QStringLiteral("There is no column to search on"));
        return;
    }
    const std::shared_ptr<vdata::Field> field = entryField(cboTraziPo, cboTraziPo->currentIndex());
    if (!field || !query_.active()) {
        // The list was filled from a result that has been closed since.
        tk::reportError(QStringLiteral("The column \"%1\" belongs to a result that is no longer "
                                       "open; refresh the window")
                            .arg(cboTraziPo->currentText()));
        return;
    }
    const std::optional<QString> typed = searchTerm();
    if (!typed) {
        emit statusMessage(QStringLiteral("Enter a term to search"));
        return;
    }
    if (!readAllRows()) {
        return;
    }
    const QString& term = *typed;
    const vdata::LocateStart start = searchStart(term, field->name(), backward);
    vdata::LocateOptions options;
    options.anywhere = term.startsWith(QLatin1Char('*'));
    int row = -1;
    {
        const tk::AppCursorGuard busy(tk::CursorShape::Hourglass);
        const tk::ProgressGuard progress(window(), QStringLiteral("Rows searched"));
        row = query_.locateFrom(field->name(), ss(options.anywhere ? term.mid(1) : term), start,
                                options);
    }
    lastTerm_ = term;
    lastField_ = field->name();
    showMatch(row, *field, start);
}

// The box's term; the value it was given for the last match stands for the
// term that found it, and so does a placeholder (none before any search).
std::optional<QString> DataSetPanel::searchTerm() const {
    const QString text = edTrazi->text();
    const bool placeholder = text == searchPlaceholder || text == searchAgainPlaceholder;
    if (placeholder || (lastTerm_ && text == filledText_)) {
        return lastTerm_;
    }
    return text;
}

// The same search again goes on from the row after (before) the current
// one; a new one starts at the first (last) row.
vdata::LocateStart DataSetPanel::searchStart(const QString& term, const std::string& field,
                                             bool backward) const {
    const int step = backward ? -1 : 1;
    if (lastTerm_ == term && field == lastField_ && query_.currentRow() >= 0) {
        return {query_.currentRow() + step, backward};
    }
    return {backward ? query_.recordCount() - 1 : 0, backward};
}

void DataSetPanel::showMatch(int row, const vdata::Field& field, const vdata::LocateStart& start) {
    if (row < 0) {
        filledText_ = edTrazi->text(); // the term, which searches on from here
        emit statusMessage(QStringLiteral("Not found"));
        return;
    }
    filledText_ = qs(field.asString());
    edTrazi->setText(filledText_);
    if (start.backward ? row > start.from : row < start.from) {
        emit statusMessage(start.backward ? QStringLiteral("Search wrapped to the last row")
                                          : QStringLiteral("Search wrapped to the first row"));
    }
}
