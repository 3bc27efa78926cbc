#include "data/providers/OdbcCatalog.h"

#include "data/service/Errors.h"
#include "data/service/ForeignKeyRows.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <tuple>

namespace vdata {

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A text argument of a catalogue function: null for "any".
struct Arg {
    std::u16string text;
    bool given = false;
    explicit Arg(const std::string* value = nullptr) {
        if (value != nullptr) {
            text = toUtf16(*value);
            given = true;
        }
    }
    SQLWCHAR* data() { return given ? wide(text) : nullptr; }
    SQLSMALLINT length() const { return given ? static_cast<SQLSMALLINT>(text.size()) : 0; }
};

// The listed columns (1-based) of every row of a catalogue result, as text.
Rows textRows(const OdbcHandle& stmt, std::initializer_list<SQLUSMALLINT> columns) {
    Rows rows;
    while (true) {
        const SQLRETURN rc = SQLFetch(stmt.get());
        if (rc == SQL_NO_DATA) {
            return rows;
        }
        stmt.check(rc);
        std::vector<std::string>& row = rows.emplace_back();
        for (SQLUSMALLINT column : columns) {
            SQLWCHAR text[1024] = {};
            SQLLEN length = 0;
            stmt.check(SQLGetData(stmt.get(), column, SQL_C_WCHAR, text, sizeof text, &length));
            const std::size_t units =
                length <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length) / 2, 1023);
            row.push_back(fromUtf16(text, units));
        }
    }
}

// `name` as a search pattern that matches only itself.
std::string literalPattern(const OdbcSession& session, const std::string& name) {
    const std::string& escape = session.info().patternEscape;
    if (escape.empty()) {
        return name;
    }
    std::string pattern;
    for (char c : name) {
        if (c == '_' || c == '%' || escape == std::string(1, c)) {
            pattern += escape;
        }
        pattern += c;
    }
    return pattern;
}

// MySQL's and MariaDB's own databases, which hold no user data.
bool isSystemCatalog(const OdbcSession& session, const std::string& name) {
    constexpr std::array<std::string_view, 4> mysql = {"information_schema", "mysql",
                                                       "performance_schema", "sys"};
    return session.info().family == OdbcFamily::MySql &&
           std::find(mysql.begin(), mysql.end(), name) != mysql.end();
}

std::vector<std::string> primaryKey(const OdbcSession& session, const std::string& table) {
    const OdbcHandle stmt = session.statement();
    Arg name(&table);
    stmt.check(SQLPrimaryKeysW(stmt.get(), nullptr, 0, nullptr, 0, name.data(), name.length()));
    Rows rows = textRows(stmt, {4, 5});
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return std::stoi(a[1]) < std::stoi(b[1]); });
    std::vector<std::string> key;
    for (const auto& row : rows) {
        key.push_back(row[0]);
    }
    return key;
}

// The columns of the first unique index, in the index's order.
std::vector<std::string> uniqueIndex(const OdbcSession& session, const std::string& table) {
    const OdbcHandle stmt = session.statement();
    Arg name(&table);
    stmt.check(SQLStatisticsW(stmt.get(), nullptr, 0, nullptr, 0, name.data(), name.length(),
                              SQL_INDEX_UNIQUE, SQL_QUICK));
    std::vector<std::string> key;
    std::string index;
    for (const auto& row : textRows(stmt, {4, 6, 7, 9})) {
        const bool isIndex = row[2] != std::to_string(SQL_TABLE_STAT) && row[0] == "0";
        if (!isIndex || (!index.empty() && row[1] != index)) {
            continue;
        }
        index = row[1];
        key.push_back(row[3]);
    }
    return key;
}

} // namespace

std::vector<std::string> OdbcCatalog::tableNames(const OdbcSession& session) {
    const OdbcHandle stmt = session.statement();
    const std::string catalog = session.currentCatalog();
    Arg cat(catalog.empty() ? nullptr : &catalog);
    const std::string all = "%";
    const std::string types = "TABLE,VIEW";
    Arg table(&all);
    Arg type(&types);
    stmt.check(SQLTablesW(stmt.get(), cat.data(), cat.length(), nullptr, 0, table.data(),
                          table.length(), type.data(), type.length()));
    std::vector<std::string> names;
    for (const auto& row : textRows(stmt, {3})) {
        names.push_back(row[0]);
    }
    return names;
}

std::map<std::string, std::vector<std::string>>
OdbcCatalog::allColumns(const OdbcSession& session) {
    const OdbcHandle stmt = session.statement();
    const std::string catalog = session.currentCatalog();
    Arg cat(catalog.empty() ? nullptr : &catalog);
    const std::string all = "%";
    Arg table(&all);
    Arg column(&all);
    stmt.check(SQLColumnsW(stmt.get(), cat.data(), cat.length(), nullptr, 0, table.data(),
                           table.length(), column.data(), column.length()));
    std::map<std::string, std::vector<std::string>> columns;
    std::map<std::string, std::string> schemaOf;
    for (const auto& row : textRows(stmt, {2, 3, 4})) {
        const auto [at, first] = schemaOf.try_emplace(row[1], row[0]);
        if (at->second == row[0]) {
            columns[row[1]].push_back(row[2]);
        }
    }
    return columns;
}

std::vector<std::string> OdbcCatalog::catalogNames(const OdbcSession& session) {
    const OdbcHandle stmt = session.statement();
    const std::string all = SQL_ALL_CATALOGS;
    const std::string none;
    Arg cat(&all);
    Arg empty(&none);
    stmt.check(SQLTablesW(stmt.get(), cat.data(), cat.length(), empty.data(), 0, empty.data(), 0,
                          empty.data(), 0));
    std::vector<std::string> names;
    for (const auto& row : textRows(stmt, {1})) {
        if (!row[0].empty() && !isSystemCatalog(session, row[0])) {
            names.push_back(row[0]);
        }
    }
    if (names.empty() && !session.databaseName().empty()) {
        names.push_back(session.databaseName());
    }
    return names;
}

std::vector<ForeignKey> OdbcCatalog::foreignKeys(const OdbcSession& session,
                                                 const std::string& table, bool referencing) {
    const OdbcHandle stmt = session.statement();
    const std::string catalog = session.currentCatalog();
    Arg cat(catalog.empty() ? nullptr : &catalog);
    Arg name(&table);
    Arg none;
    Arg& primary = referencing ? name : none;
    Arg& foreign = referencing ? none : name;
    stmt.check(SQLForeignKeysW(stmt.get(), cat.data(), cat.length(), nullptr, 0, primary.data(),
                               primary.length(), cat.data(), cat.length(), nullptr, 0,
                               foreign.data(), foreign.length()));
    std::vector<ForeignKeyColumn> rows;
    int unnamed = 0;
    for (auto& row : textRows(stmt, {3, 4, 7, 8, 9, 12})) {
        std::int64_t position = 0;
        parseInt(row[4], position);
        // A driver that names no keys still starts each key at position 1.
        unnamed += position == 1 ? 1 : 0;
        std::string key = row[5].empty() ? "#" + std::to_string(unnamed) : std::move(row[5]);
        rows.push_back({std::move(key), std::move(row[2]), std::move(row[3]), std::move(row[0]),
                        std::move(row[1]), position});
    }
    // Drivers differ in the order they list keys in, and the standard's
    // order (by the other table) leaves keys between the same two tables in
    // any order: their names settle it (MariaDB numbers them as declared).
    std::vector<ForeignKey> keys = groupForeignKeys(std::move(rows));
    std::stable_sort(keys.begin(), keys.end(), [&](const ForeignKey& a, const ForeignKey& b) {
        const std::string& other = referencing ? a.table : a.referencedTable;
        const std::string& otherB = referencing ? b.table : b.referencedTable;
        return std::tie(other, a.name) < std::tie(otherB, b.name);
    });
    return keys;
}

const OdbcTableInfo& OdbcCatalog::table(const OdbcSession& session, const std::string& name) {
    if (const auto it = tables_.find(name); it != tables_.end()) {
        return it->second;
    }
    OdbcTableInfo info;
    info.name = name;
    {
        const OdbcHandle stmt = session.statement();
        const std::string literal = literalPattern(session, name);
        Arg pattern(&literal);
        stmt.check(SQLColumnsW(stmt.get(), nullptr, 0, nullptr, 0, pattern.data(), pattern.length(),
                               nullptr, 0));
        for (const auto& row : textRows(stmt, {3, 4})) {
            if (row[0] == name) {
                info.columns.push_back(row[1]);
            }
        }
    }
    if (info.columns.empty()) {
        throw DataError("Table \"" + name + "\" was not found");
    }
    info.key = primaryKey(session, name);
    info.keyIsPrimary = !info.key.empty();
    if (info.key.empty()) {
        info.key = uniqueIndex(session, name);
    }
    return tables_[name] = std::move(info);
}

} // namespace vdata
