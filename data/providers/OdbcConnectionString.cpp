#include "data/providers/OdbcConnectionString.h"

#include "data/providers/OdbcHandle.h"
#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <string>

namespace vdata {

namespace {

bool contains(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (equalsIgnoreCase(text.substr(at, part.size()), part)) {
            return true;
        }
    }
    return false;
}

// The first driver whose name holds one of `parts`, tried in that order.
std::string pickDriver(const std::vector<std::string>& drivers,
                       std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) {
        const auto it = std::find_if(drivers.begin(), drivers.end(),
                                     [&](const std::string& d) { return contains(d, part); });
        if (it != drivers.end()) {
            return *it;
        }
    }
    return {};
}

struct Text {
    std::string out;
    void add(std::string_view key, std::string_view value) {
        if (!value.empty()) {
            out += std::string(key) + "=" + odbcValue(value) + ";";
        }
    }
};

void addLogin(Text& t, const ConnectionString& cs, const std::string& osUser, bool trusted) {
    if (!cs.value("uid").empty()) {
        t.add("UID", cs.value("uid"));
        t.add("PWD", cs.value("pwd"));
    } else if (equalsIgnoreCase(cs.value("Integrated Security"), "SSPI")) {
        if (trusted) {
            t.add("Trusted_Connection", "Yes");
        } else {
            t.add("UID", osUser);
        }
    }
}

[[noreturn]] void noDriver(const std::string& type, const std::string& package) {
    throw DataError("No ODBC driver for " + type + " is installed (odbcinst.ini lists none). " +
                        "Install the package " + package + ".",
                    ErrorKind::Connection);
}

// Connector/ODBC's options: FOUND_ROWS makes an UPDATE count the rows it
// matched, as other servers do, not only those whose values it changed (a
// write that counts none is taken for a row someone else changed);
// MULTI_STATEMENTS runs a text of several statements, as other servers do.
constexpr unsigned long foundRows = 2;
constexpr unsigned long multiStatements = 67108864;

// HOST, HOST,PORT or an absolute socket path.
std::string mariaDbText(const ConnectionString& cs, const std::vector<std::string>& drivers,
                        const std::string& osUser) {
    const std::string driver = pickDriver(drivers, {"MariaDB", "MySQL"});
    if (driver.empty()) {
        noDriver("MariaDB or MySQL", "odbc-mariadb");
    }
    Text t;
    t.add("DRIVER", driver);
    const std::string server = cs.value("Data Source");
    const std::size_t comma = server.rfind(',');
    if (server.starts_with('/')) {
        t.add("SERVER", "localhost");
        t.add("SOCKET", server);
    } else if (comma != std::string::npos) {
        t.add("SERVER", server.substr(0, comma));
        t.add("PORT", server.substr(comma + 1));
    } else {
        t.add("SERVER", server.empty() ? "localhost" : server);
    }
    t.add("DATABASE", cs.value("Initial Catalog"));
    addLogin(t, cs, osUser, false);
    t.add("OPTION", std::to_string(foundRows | multiStatements));
    return t.out;
}

// FreeTDS takes the port as a key of its own; other drivers read
// "HOST,PORT" as SQL Server users write it. HOST\INSTANCE goes to both as
// it is: they ask the server's Browser service for the instance's port.
std::string sqlServerText(const ConnectionString& cs, const std::vector<std::string>& drivers) {
    const std::string driver = pickDriver(drivers, {"FreeTDS", "SQL Server"});
    if (driver.empty()) {
        noDriver("SQL Server", "tdsodbc");
    }
    const bool freeTds = contains(driver, "FreeTDS");
    Text t;
    t.add("DRIVER", driver);
    const std::string server = cs.value("Data Source");
    const std::size_t comma = server.rfind(',');
    if (freeTds && comma != std::string::npos) {
        t.add("SERVER", server.substr(0, comma));
        t.add("PORT", server.substr(comma + 1));
    } else {
        t.add("SERVER", server);
    }
    if (freeTds) {
        t.add("ClientCharset", "UTF-8");
    }
    t.add("DATABASE", cs.value("Initial Catalog"));
    addLogin(t, cs, {}, true);
    return t.out;
}

} // namespace

std::string odbcValue(std::string_view value) {
    const bool plain = value.find_first_of(";={}") == std::string_view::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) {
        return std::string(value);
    }
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') {
            out += '}';
        }
    }
    return out + "}";
}

std::vector<std::string> installedOdbcDrivers() {
    std::vector<std::string> names;
    OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    SQLCHAR name[256];
    SQLSMALLINT length = 0;
    SQLCHAR attributes[1024];
    SQLSMALLINT attributesLength = 0;
    while (succeeded(SQLDrivers(env.get(), direction, name, sizeof name, &length, attributes,
                                sizeof attributes, &attributesLength))) {
        names.emplace_back(reinterpret_cast<const char*>(name));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

std::string odbcConnectionText(const ConnectionString& cs, const std::vector<std::string>& drivers,
                               const std::string& osUser) {
    const std::string type = cs.value("Server Type");
    if (equalsIgnoreCase(type, "MariaDB")) {
        return mariaDbText(cs, drivers, osUser);
    }
    if (equalsIgnoreCase(type, "SQL Server")) {
        return sqlServerText(cs, drivers);
    }
    if (equalsIgnoreCase(type, "ODBC")) {
        Text t;
        t.add("DSN", cs.value("Data Source"));
        t.add("DATABASE", cs.value("Initial Catalog"));
        // Integrated security: the login the data source itself names.
        t.add("UID", cs.value("uid"));
        t.add("PWD", cs.value("uid").empty() ? std::string() : cs.value("pwd"));
        return t.out;
    }
    throw DataError("Server type '" + type + "' is not known to this program.",
                    ErrorKind::Connection);
}

} // namespace vdata
