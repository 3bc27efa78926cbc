#pragma once

#include <string>
#include <string_view>

namespace vdata {

// Exact decimals as text ("-1234.50"), the way servers hand out numeric and
// money values: an optional sign, digits, an optional point and more digits.
bool isDecimalText(std::string_view s);

// Compares two decimal texts by value, exactly: <0, 0 or >0.
int compareDecimalText(std::string_view a, std::string_view b);

// The exact value of a finite double as decimal text.
std::string exactDecimalText(double d);

} // namespace vdata
