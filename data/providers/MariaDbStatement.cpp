#include "data/providers/MariaDbStatement.h"

#include "data/service/Progress.h"

#include <mysqld_error.h>

#include <cerrno>

#include <poll.h>

namespace vdata {

int waitForSocket(MYSQL* mysql, int status, int timeoutMs) {
    short events = 0;
    if ((status & MYSQL_WAIT_READ) != 0) {
        events |= POLLIN;
    }
    if ((status & MYSQL_WAIT_WRITE) != 0) {
        events |= POLLOUT;
    }
    if ((status & MYSQL_WAIT_EXCEPT) != 0) {
        events |= POLLPRI;
    }
    pollfd fd{mysql_get_socket(mysql), events, 0};
    const int polled = ::poll(&fd, 1, timeoutMs);
    if (polled < 0) {
        return errno == EINTR ? 0 : MYSQL_WAIT_READ; // the call itself reports the failure
    }
    if (polled == 0) {
        return 0; // the callers keep their own time: no timeout is set on the connection
    }
    int ready = 0;
    if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        ready |= MYSQL_WAIT_READ;
    }
    if ((fd.revents & POLLOUT) != 0) {
        ready |= MYSQL_WAIT_WRITE;
    }
    if ((fd.revents & POLLPRI) != 0) {
        ready |= MYSQL_WAIT_EXCEPT;
    }
    return ready;
}

void keepWaiting(const MariaDbSession& session, bool& cancelled, std::size_t done) {
    if (!cancelled && !progressContinues(done)) {
        cancelled = true;
        session.killQuery();
    }
}

MariaDbStatement::MariaDbStatement(const MariaDbSession& session, MYSQL* mysql,
                                   const std::string& sql)
    : session_(session), mysql_(mysql), stmt_(mysql_stmt_init(mysql)) {
    if (stmt_ == nullptr) {
        throw mariaDbError(mysql);
    }
    if (mysql_stmt_prepare(stmt_, sql.c_str(), sql.size()) != 0) {
        DataError error = mariaDbError(stmt_);
        mysql_stmt_close(stmt_);
        throw error;
    }
}

void MariaDbStatement::execute(const std::vector<Value>& params) {
    MariaDbParams bound(params);
    if (mysql_stmt_param_count(stmt_) != params.size()) {
        throw DataError("The statement takes " + std::to_string(mysql_stmt_param_count(stmt_)) +
                        " parameters, not " + std::to_string(params.size()));
    }
    if (!params.empty() && mysql_stmt_bind_param(stmt_, bound.binds()) != 0) {
        throw mariaDbError(stmt_);
    }
    int rc = 0;
    bool cancelled = false;
    awaitCall(
        session_, mysql_, mysql_stmt_execute_start(&rc, stmt_),
        [&](int ready) { return mysql_stmt_execute_cont(&rc, stmt_, ready); }, cancelled, 0);
    if (cancelled) {
        throwCancelled();
    }
    if (rc != 0) {
        throw mariaDbError(stmt_);
    }
}

// Rows are read one at a time straight into the snapshot, never held whole
// by the client library. After a cancel the rest is read and dropped.
void MariaDbStatement::fetchAll(MariaDbRow& row, Snapshot& rows) {
    bool cancelled = false;
    std::size_t done = 0;
    while (true) {
        int rc = 0;
        awaitCall(
            session_, mysql_, mysql_stmt_fetch_start(&rc, stmt_),
            [&](int ready) { return mysql_stmt_fetch_cont(&rc, stmt_, ready); }, cancelled, done);
        if (cancelled) {
            if (rc == 0 || rc == MYSQL_DATA_TRUNCATED) {
                continue;
            }
            throwCancelled();
        }
        if (!row.accept(rc)) {
            return;
        }
        row.appendTo(rows);
        if (++done % progressStep == 0) {
            keepWaiting(session_, cancelled, done);
        }
    }
}

bool MariaDbStatement::fetchSoon(MariaDbRow& row, int waitMs, int& pending, bool& done) {
    int status = pending;
    if (status == 0) {
        status = mysql_stmt_fetch_start(&fetched_, stmt_);
    }
    while (status != 0) {
        const int ready = waitForSocket(mysql_, status, waitMs);
        if (ready == 0) {
            pending = status;
            return false;
        }
        status = mysql_stmt_fetch_cont(&fetched_, stmt_, ready);
    }
    pending = 0;
    done = !row.accept(fetched_);
    return !done;
}

Snapshot selectRows(const MariaDbSession& session, MYSQL* mysql, const std::string& sql,
                    const std::vector<Value>& params) {
    MariaDbStatement stmt(session, mysql, sql);
    stmt.execute(params);
    MariaDbRow row(stmt.get());
    Snapshot rows(row.columns().size());
    stmt.fetchAll(row, rows);
    return rows;
}

namespace {

// Reads and drops the rows of the current result.
void dropResult(MYSQL* mysql) {
    if (MYSQL_RES* result = mysql_use_result(mysql)) {
        while (mysql_fetch_row(result) != nullptr) {
        }
        mysql_free_result(result);
    }
}

} // namespace

long long runText(const MariaDbSession& session, MYSQL* mysql, const std::string& sql) {
    int rc = 0;
    bool cancelled = false;
    awaitCall(
        session, mysql, mysql_real_query_start(&rc, mysql, sql.c_str(), sql.size()),
        [&](int ready) { return mysql_real_query_cont(&rc, mysql, ready); }, cancelled, 0);
    long long affected = -1;
    while (rc == 0) {
        if (mysql_field_count(mysql) > 0) {
            dropResult(mysql);
        } else if (const auto count = mysql_affected_rows(mysql);
                   count != static_cast<my_ulonglong>(-1)) {
            affected = std::max(affected, 0LL) + static_cast<long long>(count);
        }
        if (!mysql_more_results(mysql)) {
            break;
        }
        awaitCall(
            session, mysql, mysql_next_result_start(&rc, mysql),
            [&](int ready) { return mysql_next_result_cont(&rc, mysql, ready); }, cancelled, 0);
    }
    if (cancelled) {
        throwCancelled();
    }
    if (rc != 0) {
        throw mariaDbError(mysql);
    }
    return affected;
}

} // namespace vdata
