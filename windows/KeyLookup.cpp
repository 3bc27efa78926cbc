#include "windows/KeyLookup.h"

#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "data/service/ReferencedRows.h"
#include "data/service/TextHelpers.h"
#include "toolkit/DBGrid.h"
#include "toolkit/GridCellDelegate.h"
#include "windows/DataSetPanel.h"
#include "windows/LookupEditor.h"

#include <algorithm>

KeyLookup::KeyLookup(DataSetPanel& panel, vdata::Connection& connection)
    : QObject(&panel), connection_(connection), query_(&panel.query()),
      subscription_(query_->subscribe([this](const vdata::DataEvent& e) { follow(e); })) {
    if (auto* cells = qobject_cast<tk::GridCellDelegate*>(panel.Grid->itemDelegate())) {
        cells->setEditorFactory(
            [this](QWidget* parent, const QModelIndex& index) { return editorFor(parent, index); });
    }
}

KeyLookup::~KeyLookup() {
    if (query_) {
        query_->unsubscribe(subscription_);
    }
}

std::vector<vdata::ForeignKey> KeyLookup::keys() const {
    const std::string table = query_ && query_->active() ? query_->editableTable() : std::string();
    return table.empty() ? std::vector<vdata::ForeignKey>() : connection_.foreignKeysOf(table);
}

// A lookup list that cannot be made leaves the cell its plain editor.
QLineEdit* KeyLookup::editorFor(QWidget* parent, const QModelIndex& index) {
    if (!query_ || index.column() >= query_->fieldCount()) {
        return nullptr;
    }
    const vdata::Field& field = query_->field(index.column());
    for (const vdata::ForeignKey& key : keys()) {
        if (key.columns.size() != 1 ||
            !vdata::equalsIgnoreCase(key.columns.front(), field.name())) {
            continue;
        }
        try {
            return new LookupEditor(
                connection_,
                LookupRows::sourceOf(connection_, key, vdata::isIntegerType(field.dataType())),
                parent);
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    return nullptr;
}

void KeyLookup::follow(const vdata::DataEvent& event) {
    using Kind = vdata::DataEvent::Kind;
    switch (event.kind) {
    case Kind::FieldChanged:
        changed_.insert(event.field);
        break;
    case Kind::UpdatingRecord:
        checkKeys();
        break;
    case Kind::StateChanged:
        changed_.clear();
        break;
    case Kind::Destroyed:
        query_ = nullptr;
        break;
    default:
        break;
    }
}

// An empty (NULL) key refers to nothing and is left to the database.
void KeyLookup::checkKeys() {
    for (const vdata::ForeignKey& key : keys()) {
        const std::optional<std::vector<vdata::Value>> values =
            vdata::currentValues(*query_, key.columns);
        const bool changed =
            std::any_of(key.columns.begin(), key.columns.end(), [&](const auto& c) {
                const vdata::Field* field = query_->findField(c);
                return field && changed_.count(field->index()) != 0;
            });
        if (!values || !changed ||
            std::any_of(values->begin(), values->end(), [](const auto& v) { return v.isNull(); })) {
            continue;
        }
        if (!vdata::rowExists(connection_, key.referencedTable, key.referencedColumns, *values)) {
            throw vdata::DataError(
                vdata::missingRowText(key.referencedTable, key.referencedColumns, *values));
        }
    }
}
