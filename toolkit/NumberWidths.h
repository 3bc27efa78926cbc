#pragma once

namespace vdata {
class Query;
} // namespace vdata

namespace tk {

// The longest text, in characters, that display rows `first`..`last` show in
// `column` when it holds numbers or dates; 0 for a column of other values.
// Every row is measured: whole numbers by their digits, dates by their
// stored text, other numbers by the text the grid shows.
int widestNumberText(const vdata::Query& query, int column, int first, int last);

} // namespace tk
