#pragma once

#include "data/service/Snapshot.h"

#include <optional>
#include <string_view>

namespace vdata {

// A cell compared with the decimal text `term` (see isDecimalText) as the
// grid shows the cell: integers exactly, floating-point values as the
// shortest decimal text that reads back as them, decimal text by its value.
// <0, 0 or >0; empty when the cell holds no number.
std::optional<int> compareNumberCell(const Snapshot& rows, std::size_t row, std::size_t column,
                                     std::string_view term);

} // namespace vdata
