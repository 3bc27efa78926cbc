#pragma once

#include "data/service/FieldType.h"

#include <string>
#include <string_view>

namespace vdata {

// The forms in which dates and times are typed and shown: yyyy-MM-dd,
// yyyy-MM-dd HH:mm:ss and HH:mm:ss. Seconds may carry a fraction, and a
// date-time a zone offset (+hh or +hh:mm), as servers show them. Dates must
// exist in the calendar.
bool isDateText(std::string_view s);
bool isTimeText(std::string_view s);
bool isDateTimeText(std::string_view s);

// `text` as a value of `type` (Date, DateTime or Time): as typed, except
// that a date alone given for a date and time means midnight of that day.
// Raises DataError naming the form when `text` is none of `type`.
std::string temporalValueText(FieldType type, const std::string& text);

} // namespace vdata
