#pragma once

#include <sqlite3.h>

namespace vdata {

// Gives the SQLite database `db` (of the system library) sum(), total() and
// avg() that add exactly, and exact_add(), exact_sub() and exact_mul() for
// +, - and * (see withExactArithmetic): each floating-point value counts as
// the shortest decimal that reads back as it, as money and decimal values do
// in Access, so that 0.1 + 0.2 is 0.3. The result is the double nearest to
// the exact one; integers give an integer as before, unless it overflows.
void addExactArithmetic(sqlite3* db);

} // namespace vdata
