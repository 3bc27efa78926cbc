#pragma once

#include "data/service/ForeignKey.h"

#include <string>
#include <vector>

namespace vdata {

// "Orders (CustomerID)": a table and some of its columns, as messages and
// tooltips name one side of a key.
std::string tableColumnsText(const std::string& table, const std::vector<std::string>& columns);

// "Orders (CustomerID) → Customers (CustomerID)": both sides of a key.
std::string foreignKeyText(const ForeignKey& key);

} // namespace vdata
