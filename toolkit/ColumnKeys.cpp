#include "toolkit/ColumnKeys.h"

#include "data/service/Connection.h"
#include "data/service/ForeignKeyText.h"
#include "data/service/Query.h"
#include "data/service/TextHelpers.h"
#include "toolkit/Text.h"

#include <QObject>
#include <QStringList>

#include <algorithm>

namespace tk {

namespace {

bool holds(const std::vector<std::string>& columns, const std::string& column) {
    return std::any_of(columns.begin(), columns.end(),
                       [&](const std::string& c) { return vdata::equalsIgnoreCase(c, column); });
}

ColumnKeyNote noteOf(vdata::Connection& connection, const vdata::ColumnInfo& info) {
    ColumnKeyNote note;
    if (info.table.empty() || info.column.empty()) {
        return note;
    }
    QStringList lines;
    for (const vdata::ForeignKey& key : connection.foreignKeysOf(info.table)) {
        if (holds(key.columns, info.column)) {
            note.references = true;
            lines << QObject::tr("References %1")
                         .arg(qs(
                             vdata::tableColumnsText(key.referencedTable, key.referencedColumns)));
        }
    }
    QStringList referrers;
    for (const vdata::ForeignKey& key : connection.keysReferencing(info.table)) {
        if (holds(key.referencedColumns, info.column)) {
            referrers << qs(vdata::tableColumnsText(key.table, key.columns));
        }
    }
    if (!referrers.isEmpty()) {
        lines << QObject::tr("Referred to by %1").arg(referrers.join(QStringLiteral(", ")));
    }
    note.toolTip = lines.join(QLatin1Char('\n'));
    return note;
}

} // namespace

std::vector<ColumnKeyNote> columnKeyNotes(const vdata::Query& query) {
    std::vector<ColumnKeyNote> notes;
    vdata::Connection* connection = query.connection();
    if (connection == nullptr || !connection->connected()) {
        return notes;
    }
    for (const vdata::ColumnInfo& info : query.columns()) {
        notes.push_back(noteOf(*connection, info));
    }
    return notes;
}

} // namespace tk
