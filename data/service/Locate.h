#pragma once

#include "data/service/DisplayRows.h"
#include "data/service/FieldType.h"
#include "data/service/Snapshot.h"

#include <string>

namespace vdata {

// The display row (index into `order`) of the first row whose value in
// `column` matches `term`, or -1. Text matches by its beginning (with
// `partial`) or whole, letter case ignored when asked; integers, numbers,
// Booleans, dates and times match by equality. Raises DataError when the
// term cannot be compared with the column's type.
int locateRow(const Snapshot& rows, const DisplayRows& order, std::size_t column, FieldType type,
              const std::string& term, bool caseInsensitive, bool partial);

} // namespace vdata
