#include "windows/LookupRows.h"

#include "data/service/Connection.h"
#include "data/service/Dialect.h"
#include "data/service/ForeignKey.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <map>

using tk::qs;
using tk::ss;

namespace {

bool isText(vdata::FieldType type) {
    return type == vdata::FieldType::WideString || type == vdata::FieldType::Memo;
}

// The pattern's escape character. Not a backslash: MariaDB reads one in a
// string literal as an escape of its own.
const char likeEscape = '!';

// `term` as a LIKE pattern that matches it literally: the wildcards, the
// escape itself and "[" (a character class on SQL Server) are escaped.
std::string literalPattern(const QString& term) {
    std::string pattern;
    for (const char c : ss(term)) {
        if (c == '%' || c == '_' || c == '[' || c == likeEscape) {
            pattern += likeEscape;
        }
        pattern += c;
    }
    return pattern;
}

std::string likeCondition(const std::string& operand, const std::string& parameter) {
    return "LOWER(" + operand + ") LIKE :" + parameter + " ESCAPE '" + likeEscape + "'";
}

} // namespace

LookupRows::Source LookupRows::sourceOf(vdata::Connection& connection, const vdata::ForeignKey& key,
                                        bool numericKey) {
    Source source{key.referencedTable, key.referencedColumns.front(), {}, numericKey};
    const vdata::ResultSet probe =
        connection.select("SELECT TOP 1 * FROM " + vdata::bracketName(source.table));
    const auto text = std::find_if(probe.columns.begin(), probe.columns.end(), [&](const auto& c) {
        return isText(c.type) && c.name != source.key;
    });
    if (text != probe.columns.end()) {
        source.text = text->name;
    }
    return source;
}

LookupRows::LookupRows(vdata::Connection& connection, Source source, QObject* parent)
    : QAbstractListModel(parent), connection_(connection), source_(std::move(source)) {}

void LookupRows::search(const QString& term) {
    beginResetModel();
    term_ = term;
    rows_.clear();
    lastKey_.reset();
    done_ = false;
    endResetModel();
    readPage();
}

// One page after the last key read, of the rows that match the term.
std::string LookupRows::pageSql(std::vector<std::pair<std::string, vdata::Value>>& params) const {
    const std::string key = vdata::bracketName(source_.key);
    std::string sql = "SELECT TOP " + std::to_string(pageRows) + " " + key;
    if (!source_.text.empty()) {
        sql += ", " + vdata::bracketName(source_.text);
    }
    sql += " FROM " + vdata::bracketName(source_.table);
    std::vector<std::string> conditions;
    if (!term_.isEmpty()) {
        std::vector<std::string> matches;
        if (!source_.text.empty()) {
            // LOWER on both sides: a server's LIKE heeds letter case.
            matches.push_back(likeCondition(vdata::bracketName(source_.text), "term"));
            params.emplace_back("term",
                                vdata::Value::text('%' + literalPattern(term_.toLower()) + '%'));
        }
        bool whole = false;
        const qlonglong number = term_.toLongLong(&whole);
        if (!source_.numericKey) {
            matches.push_back(likeCondition(key, "key"));
            params.emplace_back("key", vdata::Value::text(literalPattern(term_.toLower()) + '%'));
        } else if (whole) {
            matches.push_back(key + " = :key");
            params.emplace_back("key", vdata::Value::integer(number));
        }
        std::string either;
        for (const std::string& match : matches) {
            either += (either.empty() ? "(" : " OR ") + match;
        }
        conditions.push_back(either.empty() ? "1 = 0" : either + ")");
    }
    if (lastKey_) {
        conditions.push_back(key + " > :last");
        params.emplace_back("last", *lastKey_);
    }
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
    }
    return sql + " ORDER BY " + key;
}

// A page that cannot be read ends the list: it is a help for typing, and
// the typed key is still checked before it is written.
void LookupRows::readPage() {
    std::vector<std::pair<std::string, vdata::Value>> params;
    const std::string sql = pageSql(params);
    vdata::ResultSet page;
    try {
        page = connection_.select(sql, {params.begin(), params.end()});
    } catch (const std::exception&) {
        done_ = true;
        return;
    }
    const auto count = static_cast<int>(page.rows.rowCount());
    done_ = count < pageRows;
    if (count == 0) {
        return;
    }
    beginInsertRows({}, rowCount(), rowCount() + count - 1);
    for (std::size_t r = 0; r < page.rows.rowCount(); ++r) {
        const vdata::Value key = page.rows.value(r, 0);
        const QString keyText = qs(key.toText());
        const QString text = source_.text.empty() ? QString() : qs(page.rows.value(r, 1).toText());
        rows_.emplace_back(keyText,
                           text.isEmpty() ? keyText : keyText + QStringLiteral(" \u2014 ") + text);
        lastKey_ = key;
    }
    endInsertRows();
}

int LookupRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant LookupRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return row.second;
    }
    return role == Qt::EditRole ? QVariant(row.first) : QVariant();
}

bool LookupRows::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !done_;
}

void LookupRows::fetchMore(const QModelIndex& parent) {
    if (canFetchMore(parent)) {
        readPage();
    }
}
