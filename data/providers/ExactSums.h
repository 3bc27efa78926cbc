#pragma once

#include <sqlite3.h>

namespace vdata {

// Gives the SQLite database `db` (of the system library) sum(), total() and
// avg() that add exactly: each floating-point value counts as the shortest
// decimal that reads back as it, as money and decimal values do in Access, so
// that the sum of 0.1 and 0.2 is 0.3. Integers sum to an integer as before.
void addExactSums(sqlite3* db);

} // namespace vdata
