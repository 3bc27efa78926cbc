#pragma once

#include "data/service/Errors.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace vdata {

// The byte offset in `sql` (the text as sent) that `place` names; none when
// it lies outside the text. A line without a quoted text is its start.
std::optional<std::size_t> errorOffset(std::string_view sql, const SqlErrorPlace& place);

// The place a message of the form "... near '<text>' at line N" names (as
// MySQL and MariaDB word their syntax errors); none in any other message.
std::optional<SqlErrorPlace> placeInMessage(std::string_view message);

} // namespace vdata
