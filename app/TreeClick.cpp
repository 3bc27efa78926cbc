// Opening data windows from the database tree.

// The service headers come before any Qt header (Qt defines "slots").
#include "data/service/Dialect.h"
#include "data/service/Query.h"

#include "windows/GridMasterFieldsForm.h"

#include "app/MainForm.h"
#include "toolkit/Cursors.h"
#include "toolkit/ErrorReport.h"

#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTreeWidget>

namespace {

// Sets the window up for the kind of node: a table view, the freehand query
// or the master-detail window. A table is recognised by its parent first, so
// a table named "Query" is still a table view.
void setUpKind(TfrmGridMasterFields& w, const QString& parent, const QString& node) {
    if (parent == QLatin1String("Tables")) {
        w.SetTitle(QStringLiteral("TABLE: ") + node);
        w.ui.pnlQuery->hide();
        w.Query.setSQL("SELECT * FROM " + vdata::bracketName(node.toStdString()));
        w.Query.open();
    } else if (node == QLatin1String("Query")) {
        w.SetTitle(QStringLiteral("\"Freehand\" query"));
        w.ui.pnlQuery->show();
    } else if (node == QLatin1String("Master detail")) {
        w.SetTitle(QStringLiteral("Master-detail"));
        w.ui.pnlQuery->hide();
        w.ui.pnlEARight->show();
        w.ui.FieldBox->show();
    }
}

// The keyboard starts where the window's work starts: the SQL text (whose
// selected placeholder the first keystroke replaces), the setup area, or
// the grid. The search box keeps its placeholder until the user goes there.
void focusFirstInput(TfrmGridMasterFields& w) {
    if (!w.ui.pnlQuery->isHidden()) {
        w.ui.SQLQuery->setFocus();
    } else if (!w.ui.FieldBox->isHidden()) {
        w.uiMD.cboMasterTable->setFocus();
    } else {
        w.ui.Grid->setFocus();
    }
}

} // namespace

// Every click on a leaf opens a new data window; the roots open nothing.
void TMainForm::DBTreeClick() {
    const QList<QTreeWidgetItem*> selected = DBTree->selectedItems();
    QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
    if (!node || !node->parent()) {
        return;
    }
    tk::setAppCursor(tk::CursorShape::SqlWait);
    try {
        auto* w = new TfrmGridMasterFields(this);
        w->ui.pnlEARight->hide();
        setUpKind(*w, node->parent()->text(0), node->text(0));
        w->FormCreate(this);
        w->FormActivate(this);
        w->ui.SQLQuery->selectAll();
        focusFirstInput(*w);
    } catch (const std::exception& e) {
        // The window stays open with its caption; the rest of the setup is skipped.
        tk::setAppCursor(tk::CursorShape::Default);
        tk::reportError(e);
        return;
    }
    tk::setAppCursor(tk::CursorShape::Default);
}
