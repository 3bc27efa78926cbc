#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Errors.h"

#include <mysql.h>

#include <string>

namespace vdata {

// The server's message for the last failure on `mysql` as DataError, with
// its error number as the native code and the place a syntax error names.
DataError mariaDbError(MYSQL* mysql);
DataError mariaDbError(MYSQL_STMT* stmt);

// Whether the error number is the client's for a connection that is gone.
bool connectionLostCode(unsigned int code);

// The connection of one MariaDB engine (or of one table read) to its server:
// utf8mb4, UPDATE counting the rows it matched, several statements in one
// text, and a lock wait of a few seconds; the session's sql_mode stays as
// the server sets it. A connection the server dropped (a restart, KILL) is
// made again by the next statement, which goes on when nothing was lost.
class MariaDbSession {
public:
    // Connects; raises DataError (Connection) with the client's message.
    explicit MariaDbSession(const ConnectionString& cs);
    ~MariaDbSession() { close(); }
    MariaDbSession(const MariaDbSession&) = delete;
    MariaDbSession& operator=(const MariaDbSession&) = delete;

    void close() noexcept;
    // Open until closed, also while the server is gone.
    bool isOpen() const { return mysql_ != nullptr; }

    // Whether a statement may run again after the connection was lost while
    // it ran: a read may; a write may have reached the server.
    enum class Repeat { Safe, Unsafe };

    // Runs `statement(mysql)`. When the connection is lost while it runs,
    // connects again; a Safe statement then runs once more, unless a
    // transaction was open. Raises DataError (Connection) when the server is
    // gone, when a write's fate is unknown, and once for a lost transaction.
    template <typename F> decltype(auto) run(Repeat repeat, F&& statement) {
        MYSQL* mysql = ready();
        const bool inBlock = inTransaction();
        try {
            return statement(mysql);
        } catch (const DataError& e) {
            if (!connectionLostCode(lastCode(e)) || e.kind() == ErrorKind::Cancelled) {
                throw;
            }
            recover(inBlock, repeat);
        }
        return statement(mysql_);
    }

    MYSQL* ready();
    // Stops the statement this session runs, through a second connection
    // (KILL QUERY); the statement then ends early or with an error.
    void killQuery() const noexcept;

    // Whether the server says a transaction is open on this session.
    bool inTransaction() const;

private:
    static unsigned int lastCode(const DataError& e);
    void connect();
    void recover(bool inBlock, Repeat repeat);

    ConnectionString cs_;
    MYSQL* mysql_ = nullptr;
    bool blockLost_ = false;
};

} // namespace vdata
