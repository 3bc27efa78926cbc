#include "windows/DataWindow.h"

#include "data/service/Connection.h"

#include "data/service/Dialect.h"
#include "data/service/SqlCompletion.h"
#include "data/service/SqlStatements.h"
#include "data/service/TextHelpers.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/Dialogs.h"
#include "toolkit/EditorMarks.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Progress.h"
#include "toolkit/SchemaCatalogCache.h"
#include "toolkit/SqlCompleter.h"
#include "toolkit/SqlEditor.h"
#include "toolkit/Text.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindowHost.h"
#include "windows/ErrorPointer.h"
#include "windows/HistoryPanel.h"
#include "windows/KeptText.h"
#include "windows/KeyLookup.h"
#include "windows/QueryHistory.h"
#include "windows/ReferenceActions.h"
#include "windows/RelationSetup.h"
#include "windows/SafeMode.h"
#include "windows/ScriptResults.h"
#include "windows/ScriptRunner.h"
#include "windows/SplitterMemory.h"
#include "windows/SqlFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <malloc.h>

#include <algorithm>
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
        equipPanel(*panel);
    }
    attachToHost();
}

// F3 and Shift+F3 search again, forward and back, in the panel that holds
// the keyboard (the master when neither does).
void DataWindow::addFindKeys() {
    for (const bool backward : {false, true}) {
        auto* key =
            new QShortcut(QKeySequence(backward ? Qt::SHIFT | Qt::Key_F3 : Qt::Key_F3), this);
        key->setContext(Qt::WidgetWithChildrenShortcut);
        connect(key, &QShortcut::activated, this,
                tk::handler([this, backward] { focusedPanel()->find(backward); }));
    }
}

// The panel that holds the keyboard (the detail, a script's result), else
// the master.
DataSetPanel* DataWindow::focusedPanel() const {
    const QWidget* focus = QApplication::focusWidget();
    QList<DataSetPanel*> candidates = panels();
    if (results_) {
        candidates += results_->results();
    }
    const auto holder =
        std::find_if(candidates.begin(), candidates.end(),
                     [focus](DataSetPanel* panel) { return panel->isAncestorOf(focus); });
    return holder != candidates.end() ? *holder : master_;
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
    if (connection_.connected()) {
        sql_.SQLQuery->setSqlFamily(connection_.engine().sqlFamily());
    }
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("FreehandSplitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(sqlArea_);
    buildScripts();
    splitter_->setStretchFactor(1, 1);
    connect(sql_.RefreshButton, &QToolButton::clicked, this,
            tk::handler([this] { runWholeText(); }));
    // Ctrl+Return runs the selection, else the statement under the caret.
    auto* run = new QAction(sqlArea_);
    run->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    run->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    sqlArea_->addAction(run);
    connect(run, &QAction::triggered, this, tk::handler([this] {
                std::size_t start = 0;
                const QString text = statementToRun(start);
                runSql(text, start);
            }));
    sql_.RefreshButton->setToolTip(QStringLiteral(
        "Run the whole text (Ctrl+Return runs the statement under the caret or the selection)"));
    buildFreehandMemory();
    attachCompletion();
}

// What the freehand window remembers: the statements run (a panel beside
// the text, Ctrl+Shift+H), its text per database, its .sql file and the
// splitter's sizes.
void DataWindow::buildFreehandMemory() {
    const QString database = QueryHistory::databaseKey(connection_.connectionString());
    history_ = new HistoryPanel(database, sqlArea_);
    history_->hide();
    sql_.pnlQueryLayout->addWidget(history_, 1);
    connect(history_, &HistoryPanel::chosen, this, [this](const QString& sql) {
        sql_.SQLQuery->replaceSelectedText(sql);
        sql_.SQLQuery->setFocus();
    });
    auto* toggle = new QAction(sqlArea_);
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    toggle->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    sqlArea_->addAction(toggle);
    connect(toggle, &QAction::triggered, this, tk::handler([this] { toggleHistory(); }));
    keptText_ = new KeptText(*sql_.SQLQuery, database);
    sqlFile_ = new SqlFile(*sql_.SQLQuery);
    connect(sqlFile_, &SqlFile::titleChanged, this, &DataWindow::showFileInTitle);
    connect(sqlFile_, &SqlFile::fileDropped, this, tk::handler([this](const QString& name) {
                if (host_) {
                    host_->openSqlFile(name);
                }
            }));
    splitmemory::restore(*splitter_);
}

void DataWindow::toggleHistory() {
    if (history_->isVisible()) {
        history_->hide();
        sql_.SQLQuery->setFocus();
        return;
    }
    history_->reload();
    history_->show();
    history_->setFocus();
}

void DataWindow::showFileInTitle() {
    const QString base = QStringLiteral("\"Freehand\" query");
    const QString file = sqlFile_->titleName();
    setTitle(file.isEmpty() ? base : file + QStringLiteral(" - ") + base);
}

bool DataWindow::openSqlFile(const QString& fileName) {
    return sqlFile_ && sqlFile_->open(fileName);
}

void DataWindow::recordRun(const HistoryEntry& entry) {
    QueryHistory::record(entry);
    if (history_->isVisible()) {
        history_->reload();
    }
}

// The results below the SQL text: the master alone, or a script's tabs.
// Ctrl+Shift+Return and "Run all" run the whole text as a script.
void DataWindow::buildScripts() {
    results_ = new ScriptResults(
        master_, connection_, [this](DataSetPanel& panel) { equipPanel(panel); }, this);
    splitter_->addWidget(results_);
    marks_ = new tk::EditorMarks(sql_.SQLQuery);
    pointer_ = std::make_unique<ErrorPointer>(connection_, sql_.SQLQuery, *marks_);
    script_ = std::make_unique<ScriptRunner>(ScriptRunner::Parts{
        connection_, sql_.SQLQuery, *marks_, *pointer_, *results_,
        [this] { return sql_.SafeModeBox->isChecked(); },
        [this](const QString& text) {
            if (host_) {
                host_->showStatus(text);
            }
        },
        [this](HistoryEntry& entry) {
            entry.database = QueryHistory::databaseKey(connection_.connectionString());
            recordRun(entry);
        }});
    auto* runAll = new QAction(sqlArea_);
    runAll->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)});
    runAll->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    sqlArea_->addAction(runAll);
    connect(runAll, &QAction::triggered, this, tk::handler([this] { script_->run(); }));
    connect(sql_.RunAllButton, &QToolButton::clicked, this,
            tk::handler([this] { script_->run(); }));
}

// What every panel of the window has: the reference actions, the key
// lookup and its notes in the host's status bar.
void DataWindow::equipPanel(DataSetPanel& panel) {
    new ReferenceActions(panel, connection_, host_);
    new KeyLookup(panel, connection_);
    connect(&panel, &DataSetPanel::statusMessage, this, [this](const QString& text) {
        if (host_) {
            host_->showStatus(text);
        }
    });
}

// Refresh runs a text of several statements as a script, and a single
// statement as it always has.
void DataWindow::runWholeText() {
    const QString text = sql_.SQLQuery->text();
    if (vdata::splitStatements(ss(text), sql_.SQLQuery->sqlFamily()).size() > 1) {
        script_->run();
        return;
    }
    runSql(text);
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
// (statements end at a ';' that is code, never at a blank line); `start` is
// where it begins in the text.
QString DataWindow::statementToRun(std::size_t& start) const {
    tk::SqlEditor* editor = sql_.SQLQuery;
    // The editor's own "has a selection" flag follows only once it repaints.
    if (const QString selected = editor->selectedText(); !selected.isEmpty()) {
        start = static_cast<std::size_t>(
            editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
        return selected;
    }
    const QByteArray bytes = editor->text().toUtf8();
    const auto caret =
        static_cast<std::size_t>(editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
    const vdata::StatementSpan span = vdata::statementAt(
        std::string_view(bytes.constData(), std::size_t(bytes.size())), caret, editor->sqlFamily());
    start = span.begin;
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

// Every row of the table, in the order of its primary key where the engine
// lists rows in that order.
vdata::TableRead DataWindow::tableRead(const std::string& table) const {
    return {table, connection_.tableOrderKey(table), std::nullopt};
}

bool DataWindow::showRowsFrom(const std::string& column, const vdata::Value& key) {
    vdata::TableRead read = tableRead(table_.toStdString());
    if (use_ != Use::Table || read.orderKey.size() != 1 ||
        !vdata::equalsIgnoreCase(read.orderKey.front(), column) || !query_.sort().empty() ||
        !query_.filter().empty() || !master_->Grid->postPending()) {
        return false;
    }
    read.from = key;
    startsAtKey_ = true;
    readTableView(std::move(read), QStringLiteral(" (from ") + qs(column) + ' ' + qs(key.toText()) +
                                       QStringLiteral(" on)"));
    return true;
}

void DataWindow::showAllRows() {
    if (startsAtKey_ && master_->Grid->postPending()) {
        startsAtKey_ = false;
        readTableView(tableRead(table_.toStdString()), QString());
    }
}

// The view reads `read` again at once; a failure closes it and goes to the
// caller, as Refresh does.
void DataWindow::readTableView(vdata::TableRead read, const QString& note) {
    setTitle(QStringLiteral("TABLE: ") + tk::visibleControls(table_) + note);
    query_.setTableView(std::move(read));
    master_->refresh();
}

void DataWindow::addShowAllRows(QMenu* menu) {
    if (startsAtKey_) {
        menu->addAction(QStringLiteral("Show &all rows"), this,
                        tk::handler(this, &DataWindow::showAllRows));
    }
}

void DataWindow::setUp(const QString& table) {
    switch (use_) {
    case Use::Table:
        setTitle(QStringLiteral("TABLE: ") + tk::visibleControls(table));
        table_ = table;
        query_.setTableView(tableRead(table.toStdString()));
        query_.open();
        connect(master_->Grid, &tk::DBGrid::contextMenuOpening, this,
                tk::handler(this, &DataWindow::addShowAllRows));
        break;
    case Use::Freehand:
        showFileInTitle();
        break;
    case Use::MasterDetail:
        setTitle(QStringLiteral("Master-detail"));
        break;
    }
    initialise();
    activate();
    // The placeholder is selected, so that the first keystroke replaces it;
    // a kept text comes back as it was left. Either is no change of the
    // user's yet.
    if (sqlArea_) {
        if (!keptText_->restore()) {
            sql_.SQLQuery->selectAll();
        }
        sql_.SQLQuery->setModified(false);
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
    const bool resultsSaved = !results_ || results_->savePendingEdits();
    return master_->savePendingEdit() && detailSaved && resultsSaved;
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
    if (!savePendingEdits() || (sqlFile_ && !sqlFile_->mayClose())) {
        event->ignore();
        return;
    }
    if (sqlArea_) {
        keptText_->save();
        splitmemory::remember(*splitter_);
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

void DataWindow::runSql(const QString& sql, std::size_t start) {
    if (sql_.SafeModeBox->isChecked() && !allowWholeTableChange(connection_, ss(sql))) {
        return;
    }
    // A script's result tabs give way to the one result.
    results_->reset();
    if (query_.active()) {
        query_.close();
    }
    const QStringList lines = sql.split(QLatin1Char('\n'));
    const QString text = lines.join(QStringLiteral("\r\n"));
    pointer_->aim(ss(text), start);
    marks_->flashRange(int(start), int(start + ss(sql).size()));
    // The engine tells, without running the text, whether it returns rows: a
    // text that does (WITH, VALUES, PRAGMA, a SELECT after a comment...) shows
    // them as a select does, and one that does not (SELECT ... INTO) runs as
    // a statement; either runs only once. The first word decides only when
    // the engine cannot tell.
    command_.setCommandText(ss(text));
    HistoryEntry entry;
    entry.database = QueryHistory::databaseKey(connection_.connectionString());
    entry.at = QDateTime::currentDateTimeUtc();
    entry.sql = sql;
    QElapsedTimer clock;
    clock.start();
    try {
        const bool select = firstWord(lines.value(0)) == QLatin1String("select");
        if (command_.returnsRows().value_or(select)) {
            runSelect(text, entry);
        } else {
            runStatement(text, entry);
        }
    } catch (const std::exception& e) {
        // No connection to ask: it is closed, or was lost and cannot go on.
        entry.failed = true;
        entry.error = qs(e.what());
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
    entry.milliseconds = clock.elapsed();
    recordRun(entry);
    // The search-column list follows the result now shown (empty when none).
    master_->fillSearchColumns();
    if (vdata::changesSchema(ss(sql), sql_.SQLQuery->sqlFamily())) {
        tk::SchemaCatalogCache::instance().reload(connection_.connectionString());
    }
}

// The rows returned are those read when the grid first shows them.
void DataWindow::runSelect(const QString& text, HistoryEntry& entry) {
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        const tk::ProgressGuard progress(this);
        query_.setSQL(ss(text));
        query_.open();
        entry.rows = query_.recordCount();
    } catch (const std::exception& e) {
        entry.failed = true;
        entry.error = qs(e.what());
        master_->showClosed();
        if (!tk::isCancellation(e)) {
            tk::showMessage(tk::MessageKind::Error, errorText(e));
        }
    }
}

// A long statement shows the progress dialog; its Cancel stops the server
// too, and a cancel is no error to report.
void DataWindow::runStatement(const QString& text, HistoryEntry& entry) {
    long long affected = 0;
    try {
        const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
        const tk::ProgressGuard progress(this);
        command_.setCommandText(ss(text));
        affected = command_.execute();
        entry.rows = affected;
    } catch (const std::exception& e) {
        entry.failed = true;
        entry.error = qs(e.what());
        if (!tk::isCancellation(e)) {
            tk::showMessage(tk::MessageKind::Error, errorText(e));
        }
        return;
    }
    tk::showMessage(tk::MessageKind::Information,
                    QString::number(affected) + QStringLiteral(" record affected"));
}

// The engine's message, with the line and column of the editor where it
// placed the failure; the caret goes there.
QString DataWindow::errorText(const std::exception& e) const {
    return pointer_->report(e);
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
    query_.setTableView(tableRead(ss(setup_->cboMasterTable->currentText())));
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
