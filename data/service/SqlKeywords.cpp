#include "data/service/SqlKeywords.h"

#include <algorithm>

namespace vdata {

const std::vector<std::string>& sqlKeywords() {
    static const std::vector<std::string> words = {
        "ADD",        "ALL",      "ALTER",  "AND",        "AS",     "ASC",    "BETWEEN", "BY",
        "CASE",       "CHECK",    "COLUMN", "CONSTRAINT", "CREATE", "CROSS",  "DEFAULT", "DELETE",
        "DESC",       "DISTINCT", "DROP",   "ELSE",       "END",    "EXCEPT", "EXISTS",  "FOREIGN",
        "FROM",       "FULL",     "GROUP",  "HAVING",     "IN",     "INDEX",  "INNER",   "INSERT",
        "INTERSECT",  "INTO",     "IS",     "JOIN",       "KEY",    "LEFT",   "LIKE",    "LIMIT",
        "NOT",        "NULL",     "OFFSET", "ON",         "OR",     "ORDER",  "OUTER",   "PRIMARY",
        "REFERENCES", "RIGHT",    "SELECT", "SET",        "TABLE",  "THEN",   "UNION",   "UNIQUE",
        "UPDATE",     "USING",    "VALUES", "VIEW",       "WHEN",   "WHERE",  "WITH"};
    return words;
}

bool isSqlKeyword(std::string_view word) {
    std::string upper(word);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return std::binary_search(sqlKeywords().begin(), sqlKeywords().end(), upper);
}

const std::vector<std::string>& commonSqlFunctions() {
    static const std::vector<std::string> names = {"ABS",     "AVG",   "CAST", "COALESCE", "COUNT",
                                                   "LENGTH",  "LOWER", "MAX",  "MIN",      "NULLIF",
                                                   "REPLACE", "ROUND", "SUM",  "TRIM",     "UPPER"};
    return names;
}

} // namespace vdata
