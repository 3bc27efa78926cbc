#pragma once

#include "data/service/FieldType.h"
#include "data/service/Snapshot.h"

#include <cstdint>
#include <vector>

namespace vdata {

// Sorts display rows (indexes into `rows`) by one column, stably: NULL, then
// numbers by exact value, then text in reading order (letter case and
// accents aside, then the exact text), then blobs bytewise. In a numeric
// column (`type`) decimal text such as a server's numeric or money value is
// a number. The rows themselves never move.
void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              FieldType type, bool descending);

} // namespace vdata
