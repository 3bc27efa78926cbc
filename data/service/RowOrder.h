#pragma once

#include "Snapshot.h"

#include <cstdint>
#include <vector>

namespace vdata {

// Sorts display rows (indexes into `rows`) by one column, stably, the way
// SQLite orders mixed values: NULL, then numbers, then text (bytewise), then
// blobs. The rows themselves never move.
void sortRows(std::vector<std::uint32_t>& order, const Snapshot& rows, std::size_t column,
              bool descending);

} // namespace vdata
