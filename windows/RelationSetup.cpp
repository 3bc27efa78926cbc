#include "windows/RelationSetup.h"

#include "data/service/Connection.h"
#include "data/service/Dialect.h"
#include "data/service/ForeignKeyText.h"
#include "data/service/TextHelpers.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Glyphs.h"
#include "toolkit/Text.h"
#include "toolkit/ValueListEditor.h"

#include <QHeaderView>
#include <QStyle>

#include <algorithm>
#include <cctype>
#include <set>

using tk::qs;
using tk::ss;

RelationSetup::RelationSetup(vdata::Connection& connection, QWidget* parent)
    : QWidget(parent), connection_(connection) {
    setupUi(this);
    MCRefreshButton->setIcon(tk::twoImageGlyph(QStyle::SP_BrowserReload));
    fitPairList();
    connect(cboMasterTable, &QComboBox::activated, this,
            tk::handler([this] { chooseTable(cboMasterTable, lbMasterFields, 0); }));
    connect(cboChildTable, &QComboBox::activated, this,
            tk::handler([this] { chooseTable(cboChildTable, lbChildFields, 1); }));
    connect(AddRelButton, &QPushButton::clicked, this, tk::handler(this, &RelationSetup::addPair));
    connect(RemovePairButton, &QPushButton::clicked, this,
            tk::handler(this, &RelationSetup::removePair));
    connect(MCRefreshButton, &QToolButton::clicked, this, &RelationSetup::showRequested);
}

void RelationSetup::fillTableLists() {
    QStringList names;
    for (const std::string& name : connection_.tableNames()) {
        names << qs(name);
    }
    for (QComboBox* list : {cboMasterTable, cboChildTable}) {
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(-1);
    }
}

// The pair list shows its title row and four pairs without scrolling.
void RelationSetup::fitPairList() {
    const int height = Rel->horizontalHeader()->sizeHint().height() +
                       4 * Rel->verticalHeader()->defaultSectionSize() + 2 * Rel->frameWidth();
    Rel->resize(Rel->width(), height);
    SetupFields->setMinimumHeight(
        std::max(SetupFields->minimumHeight(), Rel->geometry().bottom() + 4));
}

// A pair whose field the newly chosen table lacks would only make Refresh
// fail, so it goes. A table whose fields cannot be listed keeps the pairs.
void RelationSetup::chooseTable(const QComboBox* tables, QListWidget* fields, int column) {
    if (listFields(tables, fields)) {
        dropPairsNotIn(fields, column);
        pairByDeclaredKey();
    }
}

// Once both tables are chosen, the first key declared between them gives
// the pairs; the pair list's tooltip names the other keys.
void RelationSetup::pairByDeclaredKey() {
    Rel->setToolTip({});
    if (cboMasterTable->currentIndex() < 0 || cboChildTable->currentIndex() < 0) {
        return;
    }
    std::vector<std::string> described;
    const std::vector<Pairs> keys = declaredPairs(ss(cboMasterTable->currentText()),
                                                  ss(cboChildTable->currentText()), described);
    if (keys.empty()) {
        return;
    }
    Rel->clearPairs();
    for (const auto& [master, child] : keys.front()) {
        Rel->insertPair(qs(master), qs(child), true);
    }
    if (keys.size() > 1) {
        QStringList others;
        for (std::size_t i = 1; i < described.size(); ++i) {
            others << qs(described[i]);
        }
        Rel->setToolTip(tr("Paired by %1.\nAlso declared between these tables:\n%2")
                            .arg(qs(described.front()), others.join(QLatin1Char('\n'))));
    }
}

// The pairs of each key by which the child references the master, then of
// each by which the master references the child; `described` gets each key
// as text.
std::vector<RelationSetup::Pairs>
RelationSetup::declaredPairs(const std::string& master, const std::string& child,
                             std::vector<std::string>& described) {
    std::vector<Pairs> keys;
    const auto take = [&](const std::string& from, const std::string& to, bool childRefers) {
        for (const vdata::ForeignKey& key : connection_.foreignKeysOf(from)) {
            if (!vdata::equalsIgnoreCase(key.referencedTable, to)) {
                continue;
            }
            Pairs& pairs = keys.emplace_back();
            for (std::size_t i = 0; i < key.columns.size(); ++i) {
                pairs.emplace_back(childRefers ? key.referencedColumns[i] : key.columns[i],
                                   childRefers ? key.columns[i] : key.referencedColumns[i]);
            }
            described.push_back(vdata::foreignKeyText(key));
        }
    };
    take(child, master, true);
    // A table that references itself gives the same keys both ways.
    if (!vdata::equalsIgnoreCase(master, child)) {
        take(master, child, false);
    }
    return keys;
}

void RelationSetup::dropPairsNotIn(const QListWidget* fields, int column) {
    for (int i = Rel->pairCount() - 1; i >= 0; --i) {
        const QString name = column == 0 ? Rel->key(i) : Rel->value(i);
        if (fields->findItems(name, Qt::MatchExactly).isEmpty()) {
            Rel->deletePair(i);
        }
    }
}

// Lists the fields of the chosen table by opening its first row; false when
// no table is chosen or the listing failed.
bool RelationSetup::listFields(const QComboBox* tables, QListWidget* fields) {
    if (tables->currentIndex() < 0) {
        return false;
    }
    const std::string table = ss(tables->currentText());
    fields->clear();
    vdata::Query probe(&connection_);
    probe.setSQL("SELECT TOP 1 * FROM " + vdata::bracketName(table));
    try {
        probe.open();
        for (int i = 0; i < probe.fieldCount(); ++i) {
            fields->addItem(qs(probe.field(i).displayName()));
        }
        probe.close();
    } catch (const std::exception& e) {
        tk::showMessage(tk::MessageKind::Error, qs(e.what()));
        return false;
    }
    return true;
}

// A pair already listed stays as it is; another refusal of the relation
// editor (a master field paired already) goes to the default error report.
void RelationSetup::addPair() {
    const QList<QListWidgetItem*> master = lbMasterFields->selectedItems();
    const QList<QListWidgetItem*> child = lbChildFields->selectedItems();
    if (master.isEmpty() || child.isEmpty()) {
        return;
    }
    const Pairs current = pairs();
    if (std::find(current.begin(), current.end(),
                  std::pair(ss(master.first()->text()), ss(child.first()->text()))) !=
        current.end()) {
        return;
    }
    Rel->insertPair(master.first()->text(), child.first()->text(), true);
}

void RelationSetup::removePair() {
    const QList<QTableWidgetItem*> selected = Rel->selectedItems();
    if (!selected.isEmpty()) {
        Rel->deletePair(selected.first()->row());
    }
}

RelationSetup::Pairs RelationSetup::pairs() const {
    Pairs result;
    for (int i = 0; i < Rel->pairCount(); ++i) {
        result.emplace_back(ss(Rel->key(i)), ss(Rel->value(i)));
    }
    return result;
}

void RelationSetup::relate(const QString& master, const QString& child, const Pairs& pairs) {
    cboMasterTable->setCurrentIndex(cboMasterTable->findText(master));
    chooseTable(cboMasterTable, lbMasterFields, 0);
    cboChildTable->setCurrentIndex(cboChildTable->findText(child));
    chooseTable(cboChildTable, lbChildFields, 1);
    // Choosing the tables paired them by the first key declared between
    // them; another key replaces those pairs.
    if (this->pairs() == pairs) {
        return;
    }
    Rel->clearPairs();
    Rel->setToolTip({});
    for (const auto& [master, detail] : pairs) {
        Rel->insertPair(qs(master), qs(detail), true);
    }
}

bool RelationSetup::hasPairs() const {
    return !Rel->cell(1, 1).isEmpty();
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
std::vector<std::string> parameterNames(const RelationSetup::Pairs& pairs) {
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
RelationSetup::ChildQuery RelationSetup::childQueryText(const std::string& childTable,
                                                        const Pairs& pairs) {
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
