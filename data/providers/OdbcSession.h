#pragma once

#include "data/providers/OdbcHandle.h"
#include "data/service/ConnectionString.h"

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
// the connection string names (see OdbcConnectionString.h).
class OdbcSession {
public:
    // Connects; raises DataError (Connection) with the driver's message.
    explicit OdbcSession(const ConnectionString& cs);
    ~OdbcSession() { close(); }
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    void close() noexcept;
    bool isOpen() const { return dbc_.get() != SQL_NULL_HANDLE; }

    const OdbcDriverInfo& info() const { return info_; }
    // A new statement handle; raises DataError when the session is closed.
    OdbcHandle statement() const;
    // The database the session is in (SQL_ATTR_CURRENT_CATALOG), or empty.
    std::string currentCatalog() const;
    // The database as the driver names it (SQL_DATABASE_NAME), also for a
    // driver without catalogs.
    std::string databaseName() const { return infoText(SQL_DATABASE_NAME); }
    // A name as it stands in SQL, in the driver's quotes.
    std::string quoted(const std::string& name) const;
    // The statement that reads the key the last insert generated, or empty
    // when the server has none.
    std::string generatedKeyQuery() const;

private:
    void learnDriver();
    std::string infoText(SQLUSMALLINT item) const;
    void runSetup(const char* sql);

    OdbcHandle env_;
    OdbcHandle dbc_;
    OdbcDriverInfo info_;
};

} // namespace vdata
