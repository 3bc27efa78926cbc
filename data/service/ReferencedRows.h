#pragma once

#include "data/service/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace vdata {

class Connection;
class Query;

// The values of `columns` in the query's current record (the edit buffer
// while editing); none when the result lacks one of the columns.
std::optional<std::vector<Value>> currentValues(const Query& query,
                                                const std::vector<std::string>& columns);

// Whether `table` has a row whose `columns` hold `values`. Raises DataError.
bool rowExists(Connection& connection, const std::string& table,
               const std::vector<std::string>& columns, const std::vector<Value>& values);

// What a reference to a missing row says: "Artist has no row with ArtistId 7."
std::string missingRowText(const std::string& table, const std::vector<std::string>& columns,
                           const std::vector<Value>& values);

// The first display row of the query whose `columns` hold `values` (compared
// as text); -1 when none.
int findRow(const Query& query, const std::vector<std::string>& columns,
            const std::vector<Value>& values);

// The display row whose `column` holds the integer `key`, found by halves
// in a query listed in ascending order of that column (not sorted, not
// filtered); -1 when none there, or the column or key is not an integer.
int findOrderedRow(const Query& query, const std::string& column, const Value& key);

} // namespace vdata
