#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vdata {

// An Access Date/Time value as "yyyy-MM-dd HH:mm:ss". Access stores whole
// days since 1899-12-30, counted toward zero, with the time of day as the
// fraction (positive also before 1899: -1.25 is 1899-12-29 06:00). Empty for
// a value outside the years 100 to 9999 that Access can hold.
std::optional<std::string> accessDateText(double stored);

// An Access Currency value, stored as a count of ten-thousandths, as exact
// decimal text ("-12.3400").
std::string accessCurrencyText(std::int64_t stored);

} // namespace vdata
