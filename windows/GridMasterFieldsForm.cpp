#include "windows/GridMasterFieldsForm.h"

#include "data/service/Connection.h"
#include "data/service/Dialect.h"
#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Progress.h"
#include "toolkit/Text.h"
#include "toolkit/ValueListEditor.h"

#include <QApplication>
#include <QBoxLayout>
#include <QStyle>

#include <algorithm>
#include <cctype>
#include <set>

using tk::qs;
using tk::ss;

TfrmGridMasterFields::TfrmGridMasterFields(vdata::Connection& connection, DataWindowHost* host)
    : TfrmGridFields(connection, host, NoInit{}) {
    QueryChild.name = "QueryChild";
    QueryChild.setConnection(&connection);
    // The child query is the detail of Query through their shared data source.
    QueryChild.setDataSource(&DataSource);
    QueryChild.afterScroll = [this](vdata::Query& q) { QueryAfterScroll(&q); };
    // The detail closes on its own when its re-read, as the master moves,
    // fails or is cancelled; its counter says so.
    QueryChild.subscribe([this](const vdata::DataEvent& e) {
        if (e.kind == vdata::DataEvent::Kind::Closed) {
            showClosed(QueryChild);
        }
    });
    placeOwnLayout();
    initialise();
    attachToHost();
}

TfrmGridMasterFields::~TfrmGridMasterFields() = default;

// Loads this window's own layout and moves its two parts into the inherited
// panels: the setup area into FieldBox (now at the top of the left side) and
// the child set into pnlEARight (now across the bottom).
void TfrmGridMasterFields::placeOwnLayout() {
    Ui::frmGridMasterFields::setupUi(this);

    auto* editArea = static_cast<QBoxLayout*>(pnlEditArea->layout());
    editArea->setDirection(QBoxLayout::TopToBottom);
    pnlEARight->setMaximumWidth(QWIDGETSIZE_MAX);
    pnlEARight->setFixedHeight(208);
    pnlEARight->layout()->addWidget(ChildSetArea);

    auto* left = static_cast<QBoxLayout*>(pnlEALeft->layout());
    left->removeWidget(FieldBox);
    left->insertWidget(0, FieldBox);
    FieldBox->setFixedHeight(92);
    FieldBox->setWidget(SetupArea);
    pnlQuery->hide();

    edTraziChild->setCursorPosition(0);
    GridChild->setDataSource(&DataSourceChild);
    DBNavigatorChild->setDataSource(&DataSourceChild);
    MCRefreshButton->setIcon(tk::twoImageGlyph(QStyle::SP_BrowserReload));
}

vdata::Query* TfrmGridMasterFields::ownedQuery(const std::string& name) {
    return name == QueryChild.name ? &QueryChild : TfrmGridFields::ownedQuery(name);
}

void TfrmGridMasterFields::FormCreate(QObject* Sender) {
    TfrmGridFields::FormCreate(Sender);
    fillTableLists();
}

void TfrmGridMasterFields::SetUpFor(Use use, const QString& table) {
    pnlEARight->hide();
    setUpPanels(use, table);
    FormCreate(this);
    FormActivate(this);
    SQLQuery->selectAll();
    focusFirstInput();
}

void TfrmGridMasterFields::setUpPanels(Use use, const QString& table) {
    switch (use) {
    case Use::Table:
        SetTitle(QStringLiteral("TABLE: ") + tk::visibleControls(table));
        pnlQuery->hide();
        Query.setSQL("SELECT * FROM " + vdata::bracketName(table.toStdString()));
        Query.open();
        break;
    case Use::Freehand:
        SetTitle(QStringLiteral("\"Freehand\" query"));
        pnlQuery->show();
        break;
    case Use::MasterDetail:
        SetTitle(QStringLiteral("Master-detail"));
        pnlQuery->hide();
        pnlEARight->show();
        FieldBox->show();
        break;
    }
}

// The keyboard starts where the window's work starts: the SQL text (whose
// selected placeholder the first keystroke replaces), the setup area, or
// the grid. The search box keeps its placeholder until the user goes there.
void TfrmGridMasterFields::focusFirstInput() {
    if (!pnlQuery->isHidden()) {
        SQLQuery->setFocus();
    } else if (!FieldBox->isHidden()) {
        cboMasterTable->setFocus();
    } else {
        Grid->setFocus();
    }
}

// Both lists get every table and view; a failed listing leaves them as they were.
void TfrmGridMasterFields::fillTableLists() {
    QStringList names;
    for (const std::string& name : connection().tableNames()) {
        names << qs(name);
    }
    for (QComboBox* list : {cboMasterTable, cboChildTable}) {
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(-1);
    }
}

void TfrmGridMasterFields::cboMasterTableClick() {
    cboMasterTableClick(sender());
}

// Lists the fields of the chosen table by opening its first row.
void TfrmGridMasterFields::cboMasterTableClick(QObject* Sender) {
    auto* tables = qobject_cast<QComboBox*>(Sender);
    if (!tables) {
        return;
    }
    QListWidget* target =
        tables->objectName() == QLatin1String("cboMasterTable") ? lbMasterFields : lbChildFields;
    if (tables->currentIndex() < 0) {
        return;
    }
    const std::string table = ss(tables->currentText());
    target->clear();
    vdata::Query probe(&connection());
    probe.setSQL("SELECT TOP 1 * FROM " + vdata::bracketName(table));
    try {
        probe.open();
        for (int i = 0; i < probe.fieldCount(); ++i) {
            target->addItem(qs(probe.field(i).displayName()));
        }
        probe.close();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
    }
}

// A refusal of the relation editor goes to the default error report.
void TfrmGridMasterFields::AddRelButtonClick() {
    const QList<QListWidgetItem*> master = lbMasterFields->selectedItems();
    const QList<QListWidgetItem*> child = lbChildFields->selectedItems();
    if (master.isEmpty() || child.isEmpty()) {
        return;
    }
    tk::guarded([&] { Rel->insertPair(master.first()->text(), child.first()->text(), true); });
}

std::vector<std::pair<std::string, std::string>> TfrmGridMasterFields::relationPairs() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int i = 0; i < Rel->pairCount(); ++i) {
        pairs.emplace_back(ss(Rel->key(i)), ss(Rel->value(i)));
    }
    return pairs;
}

namespace {

// A master field name that can follow ':' as it is: letters, digits and '_'.
bool plainParameterName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

// Each master field's parameter name: the field's own when plain, else "p1",
// "p2", ... (skipping the plain names in use, letter case aside).
std::vector<std::string>
parameterNames(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::set<std::string> taken;
    for (const auto& pair : pairs) {
        if (plainParameterName(pair.first)) {
            taken.insert(ss(qs(pair.first).toLower()));
        }
    }
    std::vector<std::string> names;
    int next = 1;
    for (const auto& pair : pairs) {
        if (plainParameterName(pair.first)) {
            names.push_back(pair.first);
            continue;
        }
        while (taken.count("p" + std::to_string(next)) != 0) {
            ++next;
        }
        names.push_back("p" + std::to_string(next++));
    }
    return names;
}

} // namespace

// Table and field names go in bracketed, so that any name is one name.
TfrmGridMasterFields::ChildQuery TfrmGridMasterFields::childQueryText(
    const std::string& childTable, const std::vector<std::pair<std::string, std::string>>& pairs) {
    const std::string table = vdata::bracketName(childTable);
    const std::vector<std::string> params = parameterNames(pairs);
    ChildQuery query;
    std::vector<std::string> lines;
    lines.push_back("SELECT * FROM " + table);
    lines.push_back("WHERE ");
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        lines.push_back(table + "." + vdata::bracketName(pairs[i].second) + " = :" + params[i]);
        if (params[i] != pairs[i].first) {
            query.parameterFields[params[i]] = pairs[i].first;
        }
        if (i + 1 < pairs.size()) {
            lines.push_back(" AND ");
        }
    }
    for (const std::string& line : lines) {
        query.text += line + "\r\n";
    }
    return query;
}

void TfrmGridMasterFields::MCRefreshButtonClick() {
    QueryChild.close();
    Query.close();
    if (Rel->cell(1, 1).isEmpty()) {
        tk::showMessage(tk::MessageKind::Error,
                        QStringLiteral("You must setup master-detail relations!"));
        fillSearchLists();
        return;
    }
    const std::string master = ss(cboMasterTable->currentText());
    const std::string child = ss(cboChildTable->currentText());
    ChildQuery childText = childQueryText(child, relationPairs());
    QueryChild.setSQL(childText.text);
    QueryChild.setParameterFields(std::move(childText.parameterFields));
    QueryChild.setLinkFields(relationPairs());
    Query.setSQL("SELECT * FROM " + vdata::bracketName(master));
    try {
        const tk::ProgressGuard progress(this);
        Query.open();
        QueryChild.open();
    } catch (const std::exception& e) {
        showClosed(Query);
        showClosed(QueryChild);
        if (!tk::isCancellation(e)) {
            tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        }
    }
    fillSearchLists();
}

// The search-column lists follow the results now shown (empty when closed).
void TfrmGridMasterFields::fillSearchLists() {
    FillSearchFields(cboTraziPo, &Query);
    FillSearchFields(cboTraziPoChild, &QueryChild);
}
