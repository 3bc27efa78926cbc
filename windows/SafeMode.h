#pragma once

#include <string>

namespace vdata {
class Connection;
}

// Before an UPDATE or DELETE without a WHERE runs, asks whether to change
// every row of its table, with the number of rows it will change. True
// when the statement is not such a change, its table cannot be counted,
// or the user said OK.
bool allowWholeTableChange(vdata::Connection& connection, const std::string& statement);
