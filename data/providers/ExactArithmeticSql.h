#pragma once

#include <string>

namespace vdata {

// `sql` with each run of +, - and * between values (columns, numbers,
// function calls, groups in parentheses) written as calls of exact_add(),
// exact_sub() and exact_mul() (see addExactArithmetic), * before + and -,
// so that SQLite computes money as Access does: "Freight + 0.1" becomes
// "exact_add(Freight, 0.1)". A select-list item so written keeps its text
// as its name. A run whose order of operations is not plain (next to ||,
// ~ or COLLATE) stays as it is.
std::string withExactArithmetic(const std::string& sql);

} // namespace vdata
