#include "data/providers/OdbcSession.h"

#include "data/providers/OdbcConnectionString.h"
#include "data/service/Dialect.h"
#include "data/service/Enclose.h"
#include "data/service/LostConnection.h"
#include "data/service/TextHelpers.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace vdata {

namespace {

constexpr const char* transactionLost =
    "The connection to the server was lost and has been made again. If a transaction was open "
    "on it, the server rolled it back and its changes are gone.";

std::string osUserName() {
    const passwd* pw = ::getpwuid(::geteuid());
    const char* user = std::getenv("USER");
    return pw != nullptr ? pw->pw_name : user != nullptr ? user : "";
}

OdbcFamily familyOf(const std::string& dbms) {
    const auto has = [&](std::string_view part) {
        for (std::size_t at = 0; at + part.size() <= dbms.size(); ++at) {
            if (equalsIgnoreCase(std::string_view(dbms).substr(at, part.size()), part)) {
                return true;
            }
        }
        return false;
    };
    if (has("SQL Server")) {
        return OdbcFamily::SqlServer;
    }
    if (has("MariaDB") || has("MySQL")) {
        return OdbcFamily::MySql;
    }
    if (has("PostgreSQL")) {
        return OdbcFamily::Postgres;
    }
    return has("SQLite") ? OdbcFamily::Sqlite : OdbcFamily::Other;
}

} // namespace

OdbcSession::OdbcSession(const ConnectionString& cs)
    : connectText_(odbcConnectionText(cs, installedOdbcDrivers(), osUserName())),
      link_(connectOdbc(connectText_)) {
    learnDriver();
}

std::string OdbcSession::infoText(SQLUSMALLINT item) const {
    SQLWCHAR text[256] = {};
    SQLSMALLINT length = 0;
    if (!succeeded(SQLGetInfoW(dbc(), item, text, sizeof text, &length))) {
        return {};
    }
    return fromUtf16(text, std::min<std::size_t>(static_cast<std::size_t>(length) / 2, 255));
}

// The session's SQL mode stays as the server set it, so that a user's SQL
// means what it means in any client of that server ("x" is a string on
// MySQL and MariaDB); the program's own SQL quotes names with the quote the
// driver reports for that mode. Lock waits are bounded like the other
// servers' writes.
void OdbcSession::learnDriver() {
    info_.dbmsName = infoText(SQL_DBMS_NAME);
    info_.family = familyOf(info_.dbmsName);
    const std::string quote = infoText(SQL_IDENTIFIER_QUOTE_CHAR);
    info_.quote = quote == " " ? std::string() : quote;
    info_.patternEscape = infoText(SQL_SEARCH_PATTERN_ESCAPE);
    info_.namesFoldCase = info_.family != OdbcFamily::Postgres && info_.family != OdbcFamily::Other;
    if (info_.family == OdbcFamily::MySql) {
        // Connector/ODBC's query timeout does not end a wait for a row lock.
        runSetup(("SET SESSION innodb_lock_wait_timeout = " + std::to_string(odbcLockWaitSeconds))
                     .c_str());
    }
}

void OdbcSession::runSetup(const char* sql) {
    const OdbcHandle stmt = statement();
    std::u16string text = toUtf16(sql);
    stmt.check(SQLExecDirectW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size())));
}

OdbcHandle OdbcSession::statement() const {
    if (!isOpen()) {
        throw DataError("The connection is closed.", ErrorKind::Connection);
    }
    return OdbcHandle(SQL_HANDLE_STMT, dbc());
}

std::string OdbcSession::currentCatalog() const {
    SQLWCHAR text[512] = {};
    SQLINTEGER length = 0;
    if (!succeeded(
            SQLGetConnectAttrW(dbc(), SQL_ATTR_CURRENT_CATALOG, text, sizeof text, &length)) ||
        length <= 0) {
        return {};
    }
    return fromUtf16(text, std::min<std::size_t>(static_cast<std::size_t>(length) / 2, 511));
}

// Drivers report a lost connection under various states (MariaDB's
// "Write error" is HY000), so the driver is asked whether the connection is
// dead (MariaDB's pings the server).
bool OdbcSession::connectionDead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    return isOpen() &&
           succeeded(SQLGetConnectAttr(dbc(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

bool OdbcSession::lost(const DataError& e) const {
    return e.kind() != ErrorKind::Cancelled &&
           (e.kind() == ErrorKind::Connection || connectionDead());
}

// Connects again once and makes the session settings again. Raises unless
// the statement that found the loss may run: when the server cannot be
// reached, when a write may have reached it, and once when a transaction of
// the user's may have been open.
void OdbcSession::recover(Repeat repeat) {
    const bool mayRepeat = repeat != Repeat::Unsafe;
    try {
        link_ = connectOdbc(connectText_);
        learnDriver();
    } catch (const DataError& e) {
        throw DataError(writeFateText(mayRepeat) + serverGoneText + e.what(), ErrorKind::Connection,
                        e.nativeCode());
    }
    raiseUnlessRepeatable(mayRepeat, std::exchange(userStatementsRan_, false), transactionLost);
}

// SQL Server reads [x] and TOP n itself; other servers get LIMIT n and the
// driver's quotes.
std::string OdbcSession::rewrite(const std::string& sql) const {
    if (info_.family == OdbcFamily::SqlServer) {
        return sql;
    }
    const std::string limited = rewriteTop(sql);
    return info_.quote.empty() ? limited : bracketsToQuotes(limited, info_.quote.front());
}

std::string OdbcSession::quoted(const std::string& name) const {
    return info_.quote.empty() ? name : enclose(name, info_.quote.front(), info_.quote.front());
}

// ODBC has no call for it: each server's own function, kept here.
std::string OdbcSession::generatedKeyQuery() const {
    switch (info_.family) {
    case OdbcFamily::MySql:
        return "SELECT LAST_INSERT_ID()";
    case OdbcFamily::Postgres:
        return "SELECT lastval()";
    case OdbcFamily::Sqlite:
        return "SELECT last_insert_rowid()";
    case OdbcFamily::SqlServer:
        return "SELECT @@IDENTITY";
    case OdbcFamily::Other:
        break;
    }
    return {};
}

} // namespace vdata
