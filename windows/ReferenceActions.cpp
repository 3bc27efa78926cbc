#include "windows/ReferenceActions.h"

#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "data/service/ReferencedRows.h"
#include "toolkit/Cursors.h"
#include "toolkit/DBGrid.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Progress.h"
#include "toolkit/Text.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindow.h"
#include "windows/DataWindowHost.h"
#include "windows/RelationSetup.h"
#include "windows/RowHistory.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>

#include <algorithm>

using tk::qs;

namespace {

QString joined(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names) {
        list << qs(name);
    }
    return list.join(QStringLiteral(", "));
}

} // namespace

ReferenceActions::ReferenceActions(DataSetPanel& panel, vdata::Connection& connection,
                                   DataWindowHost* host)
    : QObject(&panel), panel_(panel), connection_(connection), host_(host),
      go_(new QAction(QStringLiteral("&Go to the referenced row"), this)) {
    go_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    // The grid's own key: in an open cell editor Ctrl+Return stays the
    // editor's (a line break in a multi-line one).
    go_->setShortcutContext(Qt::WidgetShortcut);
    panel.Grid->addAction(go_);
    connect(go_, &QAction::triggered, this,
            tk::handler(this, &ReferenceActions::goToReferencedRow));
    connect(panel.Grid, &tk::DBGrid::contextMenuOpening, this,
            tk::handler(this, &ReferenceActions::addMenuItems));
}

std::string ReferenceActions::table() const {
    const vdata::Query& q = panel_.query();
    return q.active() ? q.editableTable() : std::string();
}

// The first declared key of the table that the current cell's column is part of.
std::optional<vdata::ForeignKey> ReferenceActions::currentKey() const {
    const vdata::Query& q = panel_.query();
    const int column = panel_.Grid->currentIndex().column();
    const std::string table = this->table();
    if (table.empty() || column < 0 || column >= q.fieldCount()) {
        return std::nullopt;
    }
    const QString name = qs(q.field(column).name());
    for (const vdata::ForeignKey& key : connection_.foreignKeysOf(table)) {
        if (std::any_of(key.columns.begin(), key.columns.end(), [&](const std::string& c) {
                return name.compare(qs(c), Qt::CaseInsensitive) == 0;
            })) {
            return key;
        }
    }
    return std::nullopt;
}

void ReferenceActions::addMenuItems(QMenu* menu) {
    const bool onRow = panel_.query().active() && panel_.query().currentRow() >= 0;
    go_->setEnabled(onRow && host_ && currentKey());
    menu->addAction(go_);
    QMenu* referring = menu->addMenu(QStringLiteral("Show &rows that refer to this row"));
    const std::string table = this->table();
    for (const vdata::ForeignKey& key :
         table.empty() ? std::vector<vdata::ForeignKey>() : connection_.keysReferencing(table)) {
        QAction* item =
            referring->addAction(qs(key.table) + QStringLiteral(" (") + joined(key.columns) + ')');
        connect(item, &QAction::triggered, this,
                tk::handler([this, key] { showReferringRows(key); }));
    }
    referring->setEnabled(onRow && host_ && !referring->isEmpty());
}

void ReferenceActions::say(const QString& text) const {
    if (host_) {
        host_->showStatus(text);
    }
}

void ReferenceActions::goToReferencedRow() {
    const std::optional<vdata::ForeignKey> key = currentKey();
    if (!key || !host_ || !panel_.Grid->postPending()) {
        return;
    }
    const RowPlace from = RowHistory::placeOf(panel_);
    const std::optional<std::vector<vdata::Value>> values =
        vdata::currentValues(panel_.query(), key->columns);
    if (!values) {
        return;
    }
    if (const QString empty = emptyKeyText(*key, *values); !empty.isEmpty()) {
        say(empty);
        return;
    }
    const QString missing =
        qs(vdata::missingRowText(key->referencedTable, key->referencedColumns, *values));
    bool exists = false;
    try {
        exists =
            vdata::rowExists(connection_, key->referencedTable, key->referencedColumns, *values);
    } catch (const vdata::DataError&) {
        // A key declared to a table that is not there is told as such,
        // not in the engine's words.
        if (tableExists(key->referencedTable)) {
            throw;
        }
        say(QStringLiteral("The key refers to table ") + qs(key->referencedTable) +
            QStringLiteral(", which does not exist."));
        return;
    }
    if (!exists) {
        say(missing);
        return;
    }
    DataWindow* target = tableView(qs(key->referencedTable));
    const int row = referencedRow(*target, *key, *values);
    if (row < 0) {
        if (row == notFound) {
            say(missing);
        }
        return;
    }
    const vdata::Field* field = target->query().findField(key->referencedColumns.front());
    const RowPlace to{&target->master(), row, field ? field->index() : 0};
    RowHistory::show(to);
    if (RowHistory* history = host_->rowHistory()) {
        history->followed(from, to);
    }
}

// The row of the view whose referenced columns hold `values`: among the
// rows read, found by halves where they are in key order; else, where the
// view lists its rows in the order of that one column, first in the view
// started at the key, so that a row near the end of a big table is shown
// without reading the rows before it; else after reading every row, and
// again after a refresh for a row added since the read. notFound, or
// notRead when the read was cancelled or failed.
int ReferenceActions::referencedRow(DataWindow& target, const vdata::ForeignKey& key,
                                    const std::vector<vdata::Value>& values) {
    const vdata::Query& rows = target.query();
    const std::vector<std::string>& columns = key.referencedColumns;
    const bool oneInteger = columns.size() == 1 && values.front().kind == vdata::Value::Kind::Int;
    int row = oneInteger ? vdata::findOrderedRow(rows, columns.front(), values.front())
                         : vdata::findRow(rows, columns, values);
    if (row >= 0) {
        return row;
    }
    if (columns.size() == 1 && target.showRowsFrom(columns.front(), values.front())) {
        say(qs(key.referencedTable) + QStringLiteral(" is shown from ") + qs(columns.front()) +
            ' ' + qs(values.front().toText()) +
            QStringLiteral(" on; \"Show all rows\" in its grid's menu lists every row."));
        if ((row = vdata::findRow(rows, columns, values)) >= 0) {
            return row;
        }
    }
    if (!target.master().readAllRows()) {
        return notRead;
    }
    row = vdata::findRow(rows, columns, values);
    if (row < 0 && rows.active()) {
        // The view was read before the row was added.
        target.master().refresh();
        if (!target.master().readAllRows()) {
            return notRead;
        }
        row = vdata::findRow(rows, columns, values);
    }
    return row < 0 ? notFound : row;
}

// What a key with empty columns says; empty when every column has a value.
// A key of several columns with some of them empty names those.
QString ReferenceActions::emptyKeyText(const vdata::ForeignKey& key,
                                       const std::vector<vdata::Value>& values) {
    std::vector<std::string> empty;
    for (std::size_t i = 0; i < values.size() && i < key.columns.size(); ++i) {
        if (values[i].isNull()) {
            empty.push_back(key.columns[i]);
        }
    }
    if (empty.empty()) {
        return {};
    }
    if (empty.size() == key.columns.size()) {
        return joined(key.columns) + QStringLiteral(" is empty: it refers to no row.");
    }
    return QStringLiteral("The key (") + joined(key.columns) + QStringLiteral(") is incomplete: ") +
           joined(empty) + (empty.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
           QStringLiteral(" empty.");
}

bool ReferenceActions::tableExists(const std::string& table) const {
    const std::vector<std::string> tables = connection_.tableNames();
    const QString wanted = qs(table);
    return std::any_of(tables.begin(), tables.end(), [&](const std::string& t) {
        return wanted.compare(qs(t), Qt::CaseInsensitive) == 0;
    });
}

QMdiArea* ReferenceActions::area() const {
    for (QWidget* w = panel_.parentWidget(); w; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
            return frame->mdiArea();
        }
    }
    return nullptr;
}

// The open view of the table, else a new one. A view that fails to open is
// closed again and the error goes to the caller.
DataWindow* ReferenceActions::tableView(const QString& table) const {
    if (QMdiArea* mdi = area()) {
        for (QMdiSubWindow* frame : mdi->subWindowList(QMdiArea::ActivationHistoryOrder)) {
            auto* w = qobject_cast<DataWindow*>(frame->widget());
            if (w && w->use() == DataWindow::Use::Table && w->table() == table) {
                return w; // brought forward with its row by RowHistory::show
            }
        }
    }
    const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
    const tk::ProgressGuard progress(&panel_);
    QPointer<DataWindow> w = new DataWindow(connection_, DataWindow::Use::Table, host_);
    try {
        w->setUp(table);
    } catch (...) {
        if (w) {
            w->parentWidget()->close();
        }
        throw;
    }
    return w;
}

// The master is this table, on the current row; the child the referring
// table, paired by the key's columns.
void ReferenceActions::showReferringRows(const vdata::ForeignKey& key) {
    if (!host_ || !panel_.Grid->postPending()) {
        return;
    }
    const std::optional<std::vector<vdata::Value>> values =
        vdata::currentValues(panel_.query(), key.referencedColumns);
    if (!values) {
        say(QStringLiteral("The rows show no ") + joined(key.referencedColumns) + '.');
        return;
    }
    RelationSetup::Pairs pairs;
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
        pairs.emplace_back(key.referencedColumns[i], key.columns[i]);
    }
    const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
    auto* w = new DataWindow(connection_, DataWindow::Use::MasterDetail, host_);
    w->setUp();
    w->setup()->relate(qs(key.referencedTable), qs(key.table), pairs);
    w->setup()->MCRefreshButton->click();
    DataSetPanel& master = w->master();
    const int row = vdata::findRow(master.query(), key.referencedColumns, *values);
    if (row >= 0) {
        RowHistory::show({&master, row, 0});
    }
}
