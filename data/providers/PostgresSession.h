#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Errors.h"

#include <libpq-fe.h>

namespace vdata {

// The connection of one PostgreSQL engine to its server. It makes the
// session settings the value conversions rely on when it connects, and
// notices a connection the server dropped (a restart, a crash): the next
// statement then connects again once, with the same settings, and goes on
// when nothing was lost. Prepared statements do not outlive a connection;
// the engine uses only the unnamed one, made anew for each statement.
class PostgresSession {
public:
    // Connects; raises DataError with libpq's message when that fails.
    explicit PostgresSession(const ConnectionString& cs);
    ~PostgresSession() { close(); }
    PostgresSession(const PostgresSession&) = delete;
    PostgresSession& operator=(const PostgresSession&) = delete;

    void close() noexcept;
    // Open until closed, also while the server is gone.
    bool isOpen() const { return conn_ != nullptr; }

    // Whether a statement may run again after the connection was lost while
    // it ran: a read may; a write may have reached the server.
    enum class Repeat { Safe, Unsafe };

    // Runs `statement(conn)` on a connection ready for it (see ready()).
    // When the connection is lost while it runs, connects again; a Safe
    // statement then runs once more, unless a transaction block was open.
    // Raises DataError (Connection) when the server is gone, when a write's
    // fate is unknown, and when an open transaction was lost.
    template <typename F> decltype(auto) run(Repeat repeat, F&& statement) {
        PGconn* conn = ready();
        const bool inBlock = inTransactionBlock();
        try {
            return statement(conn);
        } catch (const DataError& e) {
            if (PQstatus(conn_) != CONNECTION_BAD || e.kind() == ErrorKind::Cancelled) {
                throw;
            }
            recover(inBlock, repeat);
        }
        return statement(conn_);
    }

    // The connection for the next statement. One that the server dropped
    // while it was idle (nothing was sent on it since) is made again first.
    PGconn* ready();

private:
    bool inTransactionBlock() const;
    bool dropped();
    void setUp();
    void recover(bool inBlock, Repeat repeat);

    PGconn* conn_ = nullptr;
    // A transaction block was open when the connection was lost, and that
    // has not been told yet (connecting again failed so far).
    bool blockLost_ = false;
};

} // namespace vdata
