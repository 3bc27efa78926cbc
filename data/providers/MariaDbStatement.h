#pragma once

#include "data/providers/MariaDbSession.h"
#include "data/providers/MariaDbValues.h"
#include "data/service/Snapshot.h"
#include "data/service/Value.h"

#include <mysql.h>

#include <string>
#include <vector>

namespace vdata {

// Waits up to `timeoutMs` for the socket as a non-blocking call's status
// asks; returns what became ready (MYSQL_WAIT_READ ...), 0 when nothing did.
int waitForSocket(MYSQL* mysql, int status, int timeoutMs);

// Tells the progress callback that the server is still at work; once it
// asks to stop, the statement is stopped on the server and `cancelled` set.
void keepWaiting(const MariaDbSession& session, bool& cancelled, std::size_t done);

// Waits for a non-blocking call of the client library (`status` as its
// _start form returned) and goes on with `resume(ready)` (its _cont form)
// until it is done, telling the progress callback every tenth of a second
// while the server is silent (see keepWaiting).
template <typename Resume>
void awaitCall(const MariaDbSession& session, MYSQL* mysql, int status, Resume&& resume,
               bool& cancelled, std::size_t done) {
    while (status != 0) {
        const int ready = waitForSocket(mysql, status, 100);
        if (ready == 0) {
            keepWaiting(session, cancelled, done);
            continue;
        }
        status = resume(ready);
    }
}

// One prepared statement on a session's connection, its parameters bound
// in the binary protocol (never put into the text).
class MariaDbStatement {
public:
    // Prepares; raises DataError with the server's message.
    MariaDbStatement(const MariaDbSession& session, MYSQL* mysql, const std::string& sql);
    ~MariaDbStatement() { mysql_stmt_close(stmt_); }
    MariaDbStatement(const MariaDbStatement&) = delete;
    MariaDbStatement& operator=(const MariaDbStatement&) = delete;

    bool returnsRows() const { return mysql_stmt_field_count(stmt_) > 0; }
    // Runs it; a cancel asked for meanwhile raises DataError (Cancelled).
    void execute(const std::vector<Value>& params);
    // Appends its rows to `rows`, which has row.columns() columns.
    void fetchAll(MariaDbRow& row, Snapshot& rows);
    // Fetches one row into `row` unless the server keeps it longer than
    // `waitMs`; `pending` carries a fetch begun to the next call. Returns
    // whether a row was fetched and sets `done` when none remains.
    bool fetchSoon(MariaDbRow& row, int waitMs, int& pending, bool& done);
    long long affectedRows() const {
        return static_cast<long long>(mysql_stmt_affected_rows(stmt_));
    }
    unsigned long long insertId() const { return mysql_stmt_insert_id(stmt_); }
    MYSQL_STMT* get() const { return stmt_; }

private:
    const MariaDbSession& session_;
    MYSQL* mysql_;
    MYSQL_STMT* stmt_;
    int fetched_ = 0;
};

// Runs a prepared statement and returns all its rows.
Snapshot selectRows(const MariaDbSession& session, MYSQL* mysql, const std::string& sql,
                    const std::vector<Value>& params = {});

// Runs a text of one or more statements without parameters, results read
// and dropped, and returns the rows they changed in all (-1 when none
// counts). Cancellable as MariaDbStatement::execute.
long long runText(const MariaDbSession& session, MYSQL* mysql, const std::string& sql);

} // namespace vdata
