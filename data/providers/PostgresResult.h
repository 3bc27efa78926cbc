#pragma once

#include "data/service/Errors.h"

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <vector>

namespace vdata {

struct PgResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using PgResult = std::unique_ptr<PGresult, PgResultDeleter>;

// libpq's message for a failed connection or call, without the trailing line
// break and with the continuation lines' tabs removed.
std::string connectionErrorText(const PGconn* conn);

// The server's message for a failed result: the primary text, then the
// detail line when there is one. Falls back to the connection's message
// (a lost connection has no server message).
std::string resultErrorText(const PGresult* result, const PGconn* conn);

// The failures as DataError: the texts above, with the kind and, for a
// server failure, its SQLSTATE as the native code.
DataError connectionError(const PGconn* conn);
DataError resultError(const PGresult* result, const PGconn* conn);

// True for the statuses of a statement that ran (an empty text runs too).
bool resultSucceeded(const PGresult* result);

// Runs one statement with text parameters and returns its result; raises
// DataError with the server's message when it fails.
PgResult execChecked(PGconn* conn, const std::string& sql,
                     const std::vector<std::string>& params = {});

} // namespace vdata
