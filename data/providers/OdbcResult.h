#pragma once

#include "data/providers/OdbcHandle.h"
#include "data/providers/OdbcValues.h"
#include "data/service/Engine.h"

#include <functional>
#include <vector>

namespace vdata {

// Runs `call` (the statement's SQLExecute or SQLExecDirect) on a thread of
// its own while this thread tells the progress callback every tenth of a
// second. When the callback asks to stop, SQLCancel tells the server to stop
// the statement, and DataError (Cancelled) is raised once it has. Returns
// what the call returned.
SQLRETURN executeOdbc(const OdbcHandle& stmt, const std::function<SQLRETURN()>& call);

// How one result column is fetched: its storage and the bytes a cell takes
// in a block buffer (0: read whole with SQLGetData).
struct OdbcColumnPlan {
    OdbcStorage storage = OdbcStorage::Text;
    SQLLEN width = 0;
};

// The result columns of a prepared or executed statement (SQLDescribeCol
// and the base table and column from SQLColAttribute), and how each is
// fetched. `trustSizes` is false for drivers whose column sizes do not
// bound the values (SQLite's): their text and bytes are read whole.
std::vector<ColumnInfo> describeOdbcColumns(const OdbcHandle& stmt, bool trustSizes,
                                            std::vector<OdbcColumnPlan>& plans);

// Reads every row of the executed statement into `rows`: in blocks of rows
// bound column-wise when every column fits a buffer, else row by row. The
// progress callback is told as rows arrive; when it asks to stop, the
// statement is cancelled on the server and DataError (Cancelled) raised.
void fetchOdbcRows(const OdbcHandle& stmt, const std::vector<OdbcColumnPlan>& plans,
                   Snapshot& rows);

} // namespace vdata
