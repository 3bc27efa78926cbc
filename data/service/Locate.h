#pragma once

#include "data/service/DisplayRows.h"
#include "data/service/FieldType.h"
#include "data/service/Snapshot.h"

#include <string>

namespace vdata {

struct LocateOptions {
    bool caseInsensitive = true;
    bool partialKey = true;
    bool anywhere = false; // text matches anywhere in the value, not only at its start
};

// Where a search starts: the display row `from` is looked at first, then the
// rows after it (before it, going `backward`), and on around the other end.
struct LocateStart {
    int from = 0;
    bool backward = false;
};

// The display row (index into `order`) of the first row whose value in
// `column` matches `term`, or -1. Text matches by its beginning (with
// `partialKey`), anywhere (with `anywhere`) or whole, letter case ignored
// when asked; integers, numbers (by the value they show, see
// compareNumberCell), Booleans, dates and times match by equality. Raises DataError when the term
// cannot be compared with the column's type.
int locateRow(const Snapshot& rows, const DisplayRows& order, std::size_t column, FieldType type,
              const std::string& term, const LocateOptions& options, LocateStart start = {});

} // namespace vdata
