#include "windows/DataWindow.h"

#include "data/service/Connection.h"

#include "data/service/Dialect.h"
#include "data/service/SqlCompletion.h"
#include "data/service/SqlStatements.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Progress.h"
#include "toolkit/SchemaCatalogCache.h"
#include "toolkit/SqlCompleter.h"
#include "toolkit/SqlEditor.h"
#include "toolkit/Text.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindowHost.h"
#include "windows/KeyLookup.h"
#include "windows/ReferenceActions.h"
#include "windows/RelationSetup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <malloc.h>

#include <vector>

using tk::qs;
using tk::ss;

DataWindow::DataWindow(vdata::Connection& connection, Use use, DataWindowHost* host)
    : QWidget(nullptr), connection_(connection), host_(host), use_(use) {
    setObjectName(QStringLiteral("DataWindow"));
    resize(818, 575);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    query_.name = "Query";
    query_.setConnection(&connection_);
    command_.setConnection(&connection_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    master_ = new DataSetPanel(source_, this);
    master_->readAgainOnRefresh();
    if (use == Use::MasterDetail) {
        buildMasterDetail();
    } else if (use == Use::Freehand) {
        buildFreehand();
    }
    layout->addWidget(splitter_ ? static_cast<QWidget*>(splitter_) : master_);
    // The grid takes the keyboard when the window is first shown; the search
    // box, first in the tab order, would otherwise take it on the way and
    // change its placeholder as the user never entered it.
    master_->Grid->setFocus();
    tk::guarded([this] { initialise(); });
    addFindKeys();
    for (DataSetPanel* panel : panels()) {
        new ReferenceActions(*panel, connection_, host_);
        new KeyLookup(*panel, connection_);
    }
    attachToHost();
}

// F3 and Shift+F3 search again, forward and back, in the panel that holds
// the keyboard (the master when neither does); their notes go to the host.
void DataWindow::addFindKeys() {
    for (const bool backward : {false, true}) {
        auto* key =
            new QShortcut(QKeySequence(backward ? Qt::SHIFT | Qt::Key_F3 : Qt::Key_F3), this);
        key->setContext(Qt::WidgetWithChildrenShortcut);
        connect(key, &QShortcut::activated, this,
                tk::handler([this, backward] { focusedPanel()->find(backward); }));
    }
    for (DataSetPanel* panel : panels()) {
        connect(panel, &DataSetPanel::statusMessage, this, [this](const QString& text) {
            if (host_) {
                host_->showStatus(text);
            }
        });
    }
}

DataSetPanel* DataWindow::focusedPanel() const {
    const QWidget* focus = QApplication::focusWidget();
    return detail_ && detail_->isAncestorOf(focus) ? detail_ : master_;
}

// A window may have held a big result. Its memory goes back to the heap as
// the window's members are destroyed, but the C library keeps freed heap for
// later use unless asked; once the destruction is over, it is handed back
// to the system, so that closing a window gives back what opening took.
DataWindow::~DataWindow() {
    QTimer::singleShot(0, QCoreApplication::instance(), [] { malloc_trim(0); });
}

// The SQL text fills the window's upper part, the results its lower part,
// in a splitter the user can drag.
void DataWindow::buildFreehand() {
    sqlArea_ = new QFrame(this);
    sql_.setupUi(sqlArea_);
    sql_.SQLQuery->setText(QStringLiteral("[Enter SQL query here]"));
    sql_.RefreshButton->setIcon(tk::twoImageGlyph(QStyle::SP_BrowserReload));
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("FreehandSplitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(sqlArea_);
    splitter_->addWidget(master_);
    splitter_->setStretchFactor(1, 1);
    connect(sql_.RefreshButton, &QToolButton::clicked, this,
            tk::handler([this] { runSql(sql_.SQLQuery->text()); }));
    // Ctrl+Return runs the selection, else the statement under the caret.
    auto* run = new QAction(sqlArea_);
    run->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    run->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    sqlArea_->addAction(run);
    connect(run, &QAction::triggered, this, tk::handler([this] { runSql(statementToRun()); }));
    sql_.RefreshButton->setToolTip(QStringLiteral(
        "Run the whole text (Ctrl+Return runs the statement under the caret or the selection)"));
    attachCompletion();
}

// The SQL box completes names from the database's catalogue, read in the
// background; until it is there, only keywords.
void DataWindow::attachCompletion() {
    auto* completer = new tk::SqlCompleter(sql_.SQLQuery);
    tk::SchemaCatalogCache& cache = tk::SchemaCatalogCache::instance();
    const std::string database = connection_.connectionString();
    connect(&cache, &tk::SchemaCatalogCache::loaded, completer,
            [completer, database, &cache](const std::string& loaded) {
                if (loaded == database) {
                    completer->setCatalog(cache.catalog(database));
                }
            });
    completer->setCatalog(cache.catalog(database));
}

// The selection when there is one, else the statement that holds the caret
// (statements end at a ';' that is code, never at a blank line).
QString DataWindow::statementToRun() const {
    tk::SqlEditor* editor = sql_.SQLQuery;
    // The editor's own "has a selection" flag follows only once it repaints.
    if (const QString selected = editor->selectedText(); !selected.isEmpty()) {
        return selected;
    }
    const QByteArray bytes = editor->text().toUtf8();
    const auto caret =
        static_cast<std::size_t>(editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
    const vdata::StatementSpan span =
        vdata::statementAt(std::string_view(bytes.constData(), std::size_t(bytes.size())), caret);
    return QString::fromUtf8(bytes.mid(qsizetype(span.begin), qsizetype(span.end - span.begin)));
}

void DataWindow::buildMasterDetail() {
    detailQuery_.name = "QueryChild";
    detailQuery_.setConnection(&connection_);
    detailQuery_.setDataSource(&source_);
    detail_ = new DataSetPanel(detailSource_, this);
    detail_->nameWidgets(QStringLiteral("Child"));
    // Only the main grid's titles are bold.
    detail_->Grid->setTitleBold(false);
    detail_->Label1->setText(QStringLiteral("&Search on:"));
    // The detail closes on its own when its re-read, as the master moves,
    // fails or is cancelled; its counter says so.
    detailQuery_.subscribe([this](const vdata::DataEvent& e) {
        if (e.kind == vdata::DataEvent::Kind::Closed) {
            detail_->showClosed();
        }
    });
    setup_ = new RelationSetup(connection_, this);
    connect(setup_, &RelationSetup::showRequested, this,
            tk::handler(this, &DataWindow::showMasterDetail));
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("MasterDetailSplitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(setup_);
    splitter_->addWidget(master_);
    splitter_->addWidget(detail_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setStretchFactor(2, 1);
}

// With a host the window becomes one of its windows (shown maximized).
void DataWindow::attachToHost() {
    if (!host_) {
        return;
    }
    QMdiSubWindow* sub = nullptr;
    {
        // Maximizing hides and shows the frame, and Qt hands the keyboard on
        // to the next widget meanwhile: that is no entering of a search box.
        std::vector<QSignalBlocker> quiet;
        for (DataSetPanel* panel : panels()) {
            quiet.emplace_back(panel->edTrazi);
        }
        sub = host_->addDataWindow(this);
        for (DataSetPanel* panel : panels()) {
            if (panel->edTrazi->hasFocus()) {
                panel->Grid->setFocus();
            }
        }
    }
    connect(sub, &QMdiSubWindow::aboutToActivate, this, tk::handler(this, &DataWindow::activate));
}

QList<DataSetPanel*> DataWindow::panels() const {
    return detail_ ? QList<DataSetPanel*>{master_, detail_} : QList<DataSetPanel*>{master_};
}

vdata::Query* DataWindow::childQuery() {
    return detail_ ? &detailQuery_ : nullptr;
}

void DataWindow::setTitle(const QString& title) {
    if (title != title_) {
        title_ = title;
        setWindowTitle(title);
    }
}

void DataWindow::initialise() {
    for (DataSetPanel* panel : panels()) {
        panel->showNoDataset();
    }
    for (DataSetPanel* panel : panels()) {
        panel->openIfSet();
    }
    fillSearchColumns();
    for (DataSetPanel* panel : panels()) {
        panel->refresh();
    }
    if (setup_) {
        setup_->fillTableLists();
    }
}

void DataWindow::fillSearchColumns() {
    for (DataSetPanel* panel : panels()) {
        panel->fillSearchColumns();
    }
}

// Every row of the table; on a server in the order of its primary key.
std::string DataWindow::tableViewSql(const std::string& table) const {
    std::string sql = "SELECT * FROM " + vdata::bracketName(table);
    const std::vector<std::string> key = connection_.tableOrderKey(table);
    for (std::size_t i = 0; i < key.size(); ++i) {
        sql += (i == 0 ? " ORDER BY " : ", ") + vdata::bracketName(key[i]);
    }
    return sql;
}

void DataWindow::setUp(const QString& table) {
    switch (use_) {
    case Use::Table:
        setTitle(QStringLiteral("TABLE: ") + tk::visibleControls(table));
        table_ = table;
        query_.setSQL(tableViewSql(table.toStdString()));
        query_.setTableView(table.toStdString());
        query_.open();
        break;
    case Use::Freehand:
        setTitle(QStringLiteral("\"Freehand\" query"));
        break;
    case Use::MasterDetail:
        setTitle(QStringLiteral("Master-detail"));
        break;
    }
    initialise();
    activate();
    if (sqlArea_) {
        sql_.SQLQuery->selectAll();
    }
    focusFirstInput();
}

// The keyboard starts where the window's work starts: the SQL text (whose
// selected placeholder the first keystroke replaces), the setup area, or
// the grid. The search box keeps its placeholder until the user goes there.
void DataWindow::focusFirstInput() {
    if (sqlArea_) {
        sql_.SQLQuery->setFocus();
    } else if (setup_) {
        setup_->cboMasterTable->setFocus();
    } else {
        master_->Grid->setFocus();
    }
}

void DataWindow::activate() {
    if (host_) {
        host_->showCloseButton();
    }
}

// ---- closing -------------------------------------------------------------

// A change still pending in a grid is saved before the queries close. When
// the database refuses it, the refusal is reported and the window stays open
// with the typed values, so closing never drops them.
bool DataWindow::savePendingEdits() {
    const bool detailSaved = !detail_ || detail_->savePendingEdit();
    return master_->savePendingEdit() && detailSaved;
}

void DataWindow::closeQueries() {
    if (host_) {
        host_->restoreBanner();
    }
    if (detail_) {
        detailQuery_.close();
    }
    query_.close();
}

void DataWindow::closeEvent(QCloseEvent* event) {
    if (!savePendingEdits()) {
        event->ignore();
        return;
    }
    tk::guarded([this] { closeQueries(); });
    // An MDI child's frame frees itself together with the window.
    if (!qobject_cast<QMdiSubWindow*>(parentWidget())) {
        setAttribute(Qt::WA_DeleteOnClose);
    }
    event->accept();
}

// ---- freehand query ------------------------------------------------------

// The first word of a line: the line is trimmed of characters up to the
// blank (code 32 and below), the word ends at the next such character, and
// ASCII capitals become small letters. A line of one word is that word.
QString DataWindow::firstWord(const QString& line) {
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

void DataWindow::runSql(const QString& sql) {
    if (query_.active()) {
        query_.close();
    }
    const QStringList lines = sql.split(QLatin1Char('\n'));
    const QString text = lines.join(QStringLiteral("\r\n"));
    // The engine tells, without running the text, whether it returns rows: a
    // text that does (WITH, VALUES, PRAGMA, a SELECT after a comment...) shows
    // them as a select does, and one that does not (SELECT ... INTO) runs as
    // a statement; either runs only once. The first word decides only when
    // the engine cannot tell.
    command_.setCommandText(ss(text));
    try {
        const bool select = firstWord(lines.value(0)) == QLatin1String("select");
        if (command_.returnsRows().value_or(select)) {
            runSelect(text);
        } else {
            runStatement(text);
        }
    } catch (const std::exception& e) {
        // No connection to ask: it is closed, or was lost and cannot go on.
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
    // The search-column list follows the result now shown (empty when none).
    master_->fillSearchColumns();
    if (vdata::changesSchema(ss(sql))) {
        tk::SchemaCatalogCache::instance().reload(connection_.connectionString());
    }
}

void DataWindow::runSelect(const QString& text) {
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        const tk::ProgressGuard progress(this);
        query_.setSQL(ss(text));
        query_.open();
    } catch (const std::exception& e) {
        master_->showClosed();
        if (!tk::isCancellation(e)) {
            tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        }
    }
}

void DataWindow::runStatement(const QString& text) {
    long long affected = 0;
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        command_.setCommandText(ss(text));
        affected = command_.execute();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        return;
    }
    tk::showMessage(tk::MessageKind::Information,
                    QString::number(affected) + QStringLiteral(" record affected"));
}

// ---- master-detail -------------------------------------------------------

void DataWindow::showMasterDetail() {
    detailQuery_.close();
    query_.close();
    if (!setup_->hasPairs()) {
        tk::showMessage(tk::MessageKind::Error,
                        QStringLiteral("You must setup master-detail relations!"));
        fillSearchColumns();
        return;
    }
    const RelationSetup::Pairs pairs = setup_->pairs();
    RelationSetup::ChildQuery childText =
        RelationSetup::childQueryText(ss(setup_->cboChildTable->currentText()), pairs);
    detailQuery_.setSQL(childText.text);
    detailQuery_.setParameterFields(std::move(childText.parameterFields));
    detailQuery_.setLinkFields(pairs);
    query_.setSQL("SELECT * FROM " + vdata::bracketName(ss(setup_->cboMasterTable->currentText())));
    try {
        const tk::ProgressGuard progress(this);
        query_.open();
        detailQuery_.open();
        // An empty result scrolls nowhere as it opens; its counter still tells.
        master_->showRecord();
        detail_->showRecord();
    } catch (const std::exception& e) {
        master_->showClosed();
        detail_->showClosed();
        if (!tk::isCancellation(e)) {
            tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        }
    }
    fillSearchColumns();
}
