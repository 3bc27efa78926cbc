#include "data/service/SqlKeywords.h"

#include <algorithm>
#include <map>

namespace vdata {

const std::vector<std::string>& sqlKeywords() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> list = {
            "ADD",         "ALL",       "ALTER",      "AND",        "AS",        "ASC",
            "BEGIN",       "BETWEEN",   "BY",         "CASE",       "CAST",      "CHECK",
            "COLUMN",      "COMMIT",    "CONSTRAINT", "CREATE",     "CROSS",     "DATABASE",
            "DEFAULT",     "DELETE",    "DESC",       "DISTINCT",   "DROP",      "ELSE",
            "END",         "ESCAPE",    "EXCEPT",     "EXISTS",     "EXPLAIN",   "FALSE",
            "FOREIGN",     "FROM",      "FULL",       "FUNCTION",   "GROUP",     "HAVING",
            "IF",          "IN",        "INDEX",      "INNER",      "INSERT",    "INTERSECT",
            "INTO",        "IS",        "JOIN",       "KEY",        "LEFT",      "LIKE",
            "LIMIT",       "NATURAL",   "NOT",        "NULL",       "OFFSET",    "ON",
            "OR",          "ORDER",     "OUTER",      "OVER",       "PARTITION", "PRAGMA",
            "PRIMARY",     "PROCEDURE", "RECURSIVE",  "REFERENCES", "RENAME",    "REPLACE",
            "RETURNING",   "RIGHT",     "ROLLBACK",   "ROW",        "SCHEMA",    "SELECT",
            "SET",         "TABLE",     "TEMPORARY",  "THEN",       "TO",        "TOP",
            "TRANSACTION", "TRIGGER",   "TRUE",       "TRUNCATE",   "UNION",     "UNIQUE",
            "UPDATE",      "USING",     "VALUES",     "VIEW",       "WHEN",      "WHERE",
            "WINDOW",      "WITH",      "WITHOUT"};
        std::sort(list.begin(), list.end());
        return list;
    }();
    return words;
}

bool isSqlKeyword(std::string_view word) {
    std::string upper(word);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return std::binary_search(sqlKeywords().begin(), sqlKeywords().end(), upper);
}

const std::vector<std::string>& familyKeywords(SqlFamily family) {
    static const std::map<SqlFamily, std::vector<std::string>> words = {
        {SqlFamily::Sqlite,
         {"ANALYZE", "ATTACH", "AUTOINCREMENT", "DETACH", "GLOB", "REINDEX", "ROWID", "STRICT",
          "VACUUM"}},
        {SqlFamily::Postgres,
         {"BIGSERIAL", "COPY", "DO", "ILIKE", "LANGUAGE", "LATERAL", "NULLS", "RETURNS", "SERIAL",
          "SIMILAR"}},
        {SqlFamily::MySql,
         {"AUTO_INCREMENT", "DESCRIBE", "DUAL", "ENGINE", "REGEXP", "SHOW", "UNSIGNED", "USE"}},
        {SqlFamily::SqlServer,
         {"DECLARE", "EXEC", "GO", "IDENTITY", "MERGE", "NOCOUNT", "NVARCHAR", "OUTPUT", "PRINT"}},
        {SqlFamily::Access, {"COUNTER", "DISTINCTROW", "MEMO", "PIVOT", "TRANSFORM", "YESNO"}},
        {SqlFamily::Standard, {}}};
    return words.at(family);
}

const std::vector<std::string>& commonSqlFunctions() {
    static const std::vector<std::string> names = {"ABS",     "AVG",   "CAST", "COALESCE", "COUNT",
                                                   "LENGTH",  "LOWER", "MAX",  "MIN",      "NULLIF",
                                                   "REPLACE", "ROUND", "SUM",  "TRIM",     "UPPER"};
    return names;
}

} // namespace vdata
