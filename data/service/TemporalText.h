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

// Raises DataError naming the form when `text` is not one of `type` (Date,
// DateTime or Time).
void checkTemporalText(FieldType type, const std::string& text);

} // namespace vdata
