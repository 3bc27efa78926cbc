#pragma once

#include "data/providers/OdbcLink.h"
#include "data/service/ConnectionString.h"

#include <memory>
#include <string>

namespace vdata {

// How long a write waits for a row another session holds locked.
inline constexpr int odbcLockWaitSeconds = 5;

// The database families whose SQL differs where ODBC has no call for it:
// how many rows a select takes (TOP or LIMIT) and how a new row's generated
// key is read back.
enum class OdbcFamily { Other, SqlServer, MySql, Postgres, Sqlite };

// What the driver says of itself and its server.
struct OdbcDriverInfo {
    std::string dbmsName;     // SQL_DBMS_NAME
    std::string quote = "\""; // SQL_IDENTIFIER_QUOTE_CHAR; empty when names cannot be quoted
    OdbcFamily family = OdbcFamily::Other;
    bool namesFoldCase = false; // names compare without regard to case
    std::string patternEscape;  // SQL_SEARCH_PATTERN_ESCAPE
};

// One connection through the ODBC driver manager (unixODBC) to the driver
// the connection string names (see OdbcConnectionString.h). Like the
// PostgreSQL engine's session it notices a connection the server dropped:
// the statement that found the loss connects again once, with the same
// settings, and goes on when nothing was lost.
class OdbcSession {
public:
    // Connects; raises DataError (Connection) with the driver's message.
    explicit OdbcSession(const ConnectionString& cs);
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    void close() noexcept { link_.reset(); }
    // Open until closed, also while the server is gone.
    bool isOpen() const { return link_ != nullptr; }

    // Whether a statement may run again after the connection was lost while
    // it ran: a read may; a write may have reached the server.
    enum class Repeat { Safe, Unsafe };

    // Runs `statement()`. A write first makes a connection found dead again,
    // so that it is sent on a live one. When the connection is lost while
    // the statement runs, connects again; a Safe statement then runs once
    // more. Raises DataError (Connection) when the server is gone, when a
    // write's fate is unknown, and once when statements of the user's own
    // (which may have opened a transaction) ran on the connection lost.
    template <typename F> decltype(auto) run(Repeat repeat, F&& statement) {
        if (repeat == Repeat::Unsafe && connectionDead()) {
            recover(Repeat::Safe);
        }
        try {
            return statement();
        } catch (const DataError& e) {
            if (!lost(e)) {
                throw;
            }
            recover(repeat);
        }
        return statement();
    }
    // A statement of the user's own runs: it may open a transaction, which
    // a lost connection takes with it.
    void userStatementRuns() { userStatementsRan_ = true; }

    const OdbcDriverInfo& info() const { return info_; }
    // A new statement handle; raises DataError when the session is closed.
    OdbcHandle statement() const;
    // The database the session is in (SQL_ATTR_CURRENT_CATALOG), or empty.
    std::string currentCatalog() const;
    // The database as the driver names it (SQL_DATABASE_NAME), also for a
    // driver without catalogs.
    std::string databaseName() const { return infoText(SQL_DATABASE_NAME); }
    // The SQL this system writes ([x] names, SELECT TOP n) as the server
    // reads it.
    std::string rewrite(const std::string& sql) const;
    // A name as it stands in SQL, in the driver's quotes.
    std::string quoted(const std::string& name) const;
    // The statement that reads the key the last insert generated, or empty
    // when the server has none.
    std::string generatedKeyQuery() const;

private:
    SQLHDBC dbc() const { return link_ ? link_->dbc.get() : SQL_NULL_HANDLE; }
    void learnDriver();
    std::string infoText(SQLUSMALLINT item) const;
    void runSetup(const char* sql);
    bool connectionDead() const;
    bool lost(const DataError& e) const;
    void recover(Repeat repeat);

    std::string connectText_;
    std::shared_ptr<OdbcLink> link_;
    OdbcDriverInfo info_;
    bool userStatementsRan_ = false;
};

} // namespace vdata
