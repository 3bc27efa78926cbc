#include "windows/GridFieldsForm.h"

#include "data/service/Errors.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Dialogs.h"
#include "toolkit/EditBox.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Progress.h"
#include "toolkit/Text.h"
#include "windows/DataWindowHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <malloc.h>

using tk::qs;
using tk::ss;

const QString TfrmGridFields::searchPlaceholder =
    QStringLiteral("Enter your search term, hit [RETURN]");
const QString TfrmGridFields::searchAgainPlaceholder =
    QStringLiteral("Enter a term to search, hit [RETURN]");
const QString TfrmGridFields::noDataset = QStringLiteral("No dataset opened!");

namespace {

const QColor placeholderGrey(128, 128, 128);

} // namespace

TfrmGridFields::TfrmGridFields(vdata::Connection& connection, DataWindowHost* host)
    : TfrmGridFields(connection, host, NoInit{}) {
    initialise();
    attachToHost();
}

TfrmGridFields::TfrmGridFields(vdata::Connection& connection, DataWindowHost* host, NoInit)
    : QWidget(nullptr), connection_(connection), host_(host) {
    setupLayout();
}

// A window may have held a big result. Its memory goes back to the heap as
// the window's members are destroyed, but the C library keeps freed heap for
// later use unless asked; once the destruction is over, it is handed back
// to the system, so that closing a window gives back what opening took.
TfrmGridFields::~TfrmGridFields() {
    QTimer::singleShot(0, QCoreApplication::instance(), [] { malloc_trim(0); });
}

void TfrmGridFields::setupLayout() {
    setupUi(this);
    Query.name = "Query";
    Query.setConnection(&connection_);
    Command.setConnection(&connection_);
    bindQuery(Query);
    Grid->setDataSource(&DataSource);
    DBNavigator->setDataSource(&DataSource);
    DBNavigator->beforeAction = [this](tk::DBNavigator* sender, int button) {
        DBNavigatorBeforeAction(sender, button);
    };
    RefreshButton->setIcon(tk::twoImageGlyph(QStyle::SP_BrowserReload));
    edTrazi->setCursorPosition(0);
    // The grid takes the keyboard when the window is first shown; the search
    // box, first in the tab order, would otherwise take it on the way and
    // change its placeholder as the user never entered it.
    Grid->setFocus();
}

void TfrmGridFields::bindQuery(vdata::Query& query) {
    query.afterScroll = [this](vdata::Query& q) { QueryAfterScroll(&q); };
}

// With a host the window becomes one of its windows (shown maximized).
void TfrmGridFields::attachToHost() {
    if (!host_) {
        return;
    }
    QMdiSubWindow* sub = host_->addDataWindow(this);
    connect(sub, &QMdiSubWindow::aboutToActivate, this, [this] { FormActivate(this); });
}

void TfrmGridFields::initialise() {
    tk::guarded([this] { FormCreate(this); });
}

vdata::Query* TfrmGridFields::ownedQuery(const std::string& name) {
    return name == Query.name ? &Query : nullptr;
}

bool TfrmGridFields::IsChildName(const QString& name) {
    return name.endsWith(QLatin1String("Child"), Qt::CaseSensitive);
}

bool TfrmGridFields::IsChildName(const std::string& name) {
    return IsChildName(qs(name));
}

void TfrmGridFields::SetTitle(const QString& title) {
    if (title != title_) {
        title_ = title;
        setWindowTitle(title);
    }
}

// ---- initialisation ------------------------------------------------------

void TfrmGridFields::FormCreate(QObject* Sender) {
    (void)Sender;
    lblRecNo->setText(noDataset);
    if (auto* childCounter = findChild<QLabel*>(QStringLiteral("lblRecNoChild"))) {
        childCounter->setText(noDataset);
    }

    queryChild_ = ownedQuery("QueryChild");
    gridChild_ = findChild<tk::DBGrid*>(QStringLiteral("GridChild"));
    navigatorChild_ = findChild<tk::DBNavigator*>(QStringLiteral("DBNavigatorChild"));
    cboTraziPoChild_ = findChild<QComboBox*>(QStringLiteral("cboTraziPoChild"));
    edTraziChild_ = findChild<tk::EditBox*>(QStringLiteral("edTraziChild"));

    SetNavigatorCaptions(DBNavigator);
    SetNavigatorCaptions(navigatorChild_);

    if (!Query.sql().empty()) {
        Query.open();
    }
    if (queryChild_ && !queryChild_->sql().empty()) {
        queryChild_->open();
    }
    Grid->setTitleBold(true);

    FillSearchFields(cboTraziPo, &Query);
    FillSearchFields(cboTraziPoChild_, queryChild_);

    RefreshDataSet(&Query);
    RefreshDataSet(queryChild_);
}

void TfrmGridFields::SetNavigatorCaptions(tk::DBNavigator* navigator) {
    if (!navigator) {
        return;
    }
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
        navigator->setCaption(i, QString::fromUtf8(captions[i]));
        navigator->setGlyph(i, tk::twoImageGlyph(glyphs[i]), true);
    }
}

// Only 32-bit integers, dates and texts can be searched.
void TfrmGridFields::FillSearchFields(QComboBox* list, vdata::Query* dataSet) {
    if (!list || !dataSet) {
        return;
    }
    list->clear();
    for (int i = 0; i < dataSet->fieldCount(); ++i) {
        const vdata::FieldType type = dataSet->field(i).dataType();
        if (type == vdata::FieldType::Integer || type == vdata::FieldType::Date ||
            type == vdata::FieldType::WideString) {
            const std::weak_ptr<vdata::Field> field = dataSet->fieldPtr(i);
            list->addItem(qs(dataSet->field(i).displayName()), QVariant::fromValue(field));
        }
    }
    list->setCurrentIndex(list->count() > 0 ? 0 : -1);
}

std::shared_ptr<vdata::Field> TfrmGridFields::entryField(const QComboBox* list, int index) {
    if (!list || index < 0 || index >= list->count()) {
        return nullptr;
    }
    return list->itemData(index).value<std::weak_ptr<vdata::Field>>().lock();
}

// ---- counter and re-query ------------------------------------------------

QLabel* TfrmGridFields::counterFor(const vdata::Query& dataSet) const {
    if (IsChildName(dataSet.name)) {
        return findChild<QLabel*>(QStringLiteral("lblRecNoChild"));
    }
    return lblRecNo;
}

tk::DBNavigator* TfrmGridFields::navigatorFor(const vdata::Query& dataSet) const {
    return IsChildName(dataSet.name) ? navigatorChild_ : DBNavigator;
}

void TfrmGridFields::RefreshDataSet(vdata::Query* dataSet) {
    if (!dataSet || !dataSet->active()) {
        return;
    }
    tk::DBNavigator* navigator = navigatorFor(*dataSet);
    try {
        const tk::ProgressGuard progress(this);
        dataSet->requery();
    } catch (...) {
        // A re-query that failed or was cancelled closed the query.
        showClosed(*dataSet);
        throw;
    }
    QueryAfterScroll(dataSet);
    if (navigator) {
        navigator->button(tk::DBNavigator::Edit)->setEnabled(dataSet->recordCount() > 0);
    }
}

void TfrmGridFields::showClosed(const vdata::Query& dataSet) {
    QLabel* counter = counterFor(dataSet);
    if (counter && !dataSet.active()) {
        counter->setText(noDataset);
    }
}

void TfrmGridFields::QueryAfterScroll(vdata::Query* dataSet) {
    if (!dataSet || !dataSet->active()) {
        return;
    }
    if (QLabel* counter = counterFor(*dataSet)) {
        counter->setText(
            QStringLiteral("Record %1 / %2").arg(dataSet->recNo()).arg(dataSet->recordCount()));
    }
}

// ---- grid handlers -------------------------------------------------------

void TfrmGridFields::GridTitleClick(QObject* Sender, const QString& fieldName) {
    SortGrid(qobject_cast<tk::DBGrid*>(Sender), fieldName);
}

// Ascending on the first click, then descending, then ascending again. A
// refused sort keeps the order and shows nothing.
void TfrmGridFields::SortGrid(tk::DBGrid* grid, const QString& fieldName) {
    vdata::Query* dataSet = grid ? grid->dataSet() : nullptr;
    if (!dataSet || !dataSet->active()) {
        return;
    }
    const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
    try {
        const tk::ProgressGuard progress(this, QStringLiteral("Rows sorted"));
        const std::string name = ss(fieldName);
        dataSet->setSort(dataSet->sort() == name ? name + " DESC" : name);
    } catch (const std::exception&) {
        // Deliberately silent: the grid keeps the order it had (also when
        // the user cancelled the sort).
    }
}

void TfrmGridFields::GridMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y) {
    (void)Shift;
    auto* grid = qobject_cast<tk::DBGrid*>(Sender);
    if (!grid) {
        return;
    }
    const bool overTitles = grid->cellAt(X, Y).y() == 0;
    tk::setWidgetCursor(grid, overTitles ? tk::CursorShape::HandPoint : tk::CursorShape::Default);
}

// Records are deleted only through the navigator (which asks first), so the
// grid's own Ctrl+Delete never runs.
void TfrmGridFields::GridKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) {
    (void)Sender;
    if (Key == Qt::Key_Delete && (Shift & Qt::ControlModifier)) {
        Key = 0;
    }
}

void TfrmGridFields::DBNavigatorBeforeAction(tk::DBNavigator* Sender, int Button) {
    if (Sender && Button == tk::DBNavigator::Refresh) {
        RefreshDataSet(Sender->dataSet());
        throw vdata::SilentAbort();
    }
}

// ---- activation and closing ----------------------------------------------

void TfrmGridFields::FormActivate(QObject* Sender) {
    (void)Sender;
    if (host_) {
        host_->showCloseButton();
    }
}

void TfrmGridFields::FormClose(QObject* Sender, CloseAction& Action) {
    (void)Sender;
    if (host_) {
        host_->restoreBanner();
    }
    if (queryChild_) {
        queryChild_->close();
    }
    Query.close();
    Action = CloseAction::Free;
}

// A change still pending in a grid is saved before the queries close. When
// the database refuses it, the refusal is reported and the window stays open
// with the typed values, so closing never drops them.
bool TfrmGridFields::savePendingEdits() {
    const bool childSaved = !gridChild_ || savePendingEdit(*gridChild_);
    return savePendingEdit(*Grid) && childSaved;
}

// Without a connection to the server nothing can save the change, and
// keeping the window would keep the user from disconnecting or leaving: the
// window closes without it, and the message says which change was not saved.
bool TfrmGridFields::savePendingEdit(tk::DBGrid& grid) {
    return grid.postPending([&grid](const std::exception& e) {
        const auto* error = dynamic_cast<const vdata::DataError*>(&e);
        if (error == nullptr || error->kind() != vdata::ErrorKind::Connection) {
            tk::reportError(e);
            return false;
        }
        const vdata::Query* q = grid.dataSet();
        tk::showMessage(tk::MessageKind::Warning,
                        QStringLiteral("The change to table \"%1\" was not saved, and the window "
                                       "closed without it.\n%2")
                            .arg(qs(q ? q->editableTable() : std::string()), qs(e.what())));
        return true;
    });
}

void TfrmGridFields::closeEvent(QCloseEvent* event) {
    if (!savePendingEdits()) {
        event->ignore();
        return;
    }
    CloseAction action = CloseAction::None;
    FormClose(this, action);
    // An MDI child's frame frees itself together with the window.
    if (action == CloseAction::Free && !qobject_cast<QMdiSubWindow*>(parentWidget())) {
        setAttribute(Qt::WA_DeleteOnClose);
    }
    event->accept();
}

// ---- search box ----------------------------------------------------------

void TfrmGridFields::edTraziEnter(QObject* Sender) {
    auto* box = qobject_cast<tk::EditBox*>(Sender);
    if (box && (box->text() == searchPlaceholder || box->text() == searchAgainPlaceholder)) {
        box->clear();
        box->setTextColor(QApplication::palette().color(QPalette::Text));
    }
}

void TfrmGridFields::edTraziExit(QObject* Sender) {
    auto* box = qobject_cast<tk::EditBox*>(Sender);
    if (box && box->text().isEmpty()) {
        box->setTextColor(placeholderGrey);
        box->setText(searchAgainPlaceholder);
        box->setCursorPosition(0); // show the placeholder from its start
    }
}

void TfrmGridFields::cboTraziPoClick() {
    cboTraziPoClick(sender());
}

void TfrmGridFields::cboTraziPoClick(QObject* Sender) {
    if (!Sender) {
        return;
    }
    tk::EditBox* box = IsChildName(Sender->objectName()) ? edTraziChild_ : edTrazi;
    if (box) {
        box->setFocus(Qt::OtherFocusReason);
    }
}

void TfrmGridFields::edTraziKeyDown(QObject* Sender, int Key, Qt::KeyboardModifiers Shift) {
    (void)Shift;
    auto* box = qobject_cast<tk::EditBox*>(Sender);
    if (!box || (Key != Qt::Key_Return && Key != Qt::Key_Enter)) {
        return;
    }
    const bool child = IsChildName(box->objectName());
    QComboBox* list = child ? cboTraziPoChild_ : cboTraziPo;
    vdata::Query* dataSet = child ? queryChild_ : &Query;
    if (!list || !dataSet) {
        return;
    }
    if (list->currentIndex() < 0) {
        tk::reportError(QStringLiteral("There is no column to search on"));
        return;
    }
    const std::shared_ptr<vdata::Field> field = entryField(list, list->currentIndex());
    if (!field || !dataSet->active()) {
        // The list was filled from a result that has been closed since.
        tk::reportError(QStringLiteral("The column \"%1\" belongs to a result that is no longer "
                                       "open; refresh the window")
                            .arg(list->currentText()));
        return;
    }
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::Hourglass);
        const tk::ProgressGuard progress(this, QStringLiteral("Rows searched"));
        if (dataSet->locate(field->name(), ss(box->text()))) {
            box->setText(qs(field->asString()));
        }
    } catch (const std::exception& e) {
        tk::reportError(e);
    }
}

// ---- freehand query ------------------------------------------------------

// The first word of a line: the line is trimmed of characters up to the
// blank (code 32 and below), the word ends at the next such character, and
// ASCII capitals become small letters. A line of one word is that word.
QString TfrmGridFields::FirstWord(const QString& line) {
    auto isSpace = [](QChar c) { return c.unicode() <= 32; };
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isSpace(line.at(begin))) {
        ++begin;
    }
    while (end > begin && isSpace(line.at(end - 1))) {
        --end;
    }
    qsizetype stop = begin;
    while (stop < end && !isSpace(line.at(stop))) {
        ++stop;
    }
    QString word = line.mid(begin, stop - begin);
    for (QChar& c : word) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() + ('a' - 'A'));
        }
    }
    return word;
}

void TfrmGridFields::RefreshButtonClick() {
    if (Query.active()) {
        Query.close();
    }
    const QStringList lines = SQLQuery->toPlainText().split(QLatin1Char('\n'));
    const QString text = lines.join(QStringLiteral("\r\n"));
    // The engine tells, without running the text, whether it returns rows: a
    // text that does (WITH, VALUES, PRAGMA, a SELECT after a comment...) shows
    // them as a select does, and one that does not (SELECT ... INTO) runs as
    // a statement; either runs only once. The first word decides only when
    // the engine cannot tell.
    Command.setCommandText(ss(text));
    try {
        const bool select = FirstWord(lines.value(0)) == QLatin1String("select");
        if (Command.returnsRows().value_or(select)) {
            runSelect(text);
        } else {
            runStatement(text);
        }
    } catch (const std::exception& e) {
        // No connection to ask: it is closed, or was lost and cannot go on.
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
    // The search-column list follows the result now shown (empty when none).
    FillSearchFields(cboTraziPo, &Query);
}

void TfrmGridFields::runSelect(const QString& text) {
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        const tk::ProgressGuard progress(this);
        Query.setSQL(ss(text));
        Query.open();
    } catch (const std::exception& e) {
        showClosed(Query);
        if (!tk::isCancellation(e)) {
            tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        }
    }
}

void TfrmGridFields::runStatement(const QString& text) {
    long long affected = 0;
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        Command.setCommandText(ss(text));
        affected = Command.execute();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        return;
    }
    tk::showMessage(tk::MessageKind::Information,
                    QString::number(affected) + QStringLiteral(" record affected"));
}
