#include "data/providers/MariaDbSession.h"

#include "data/providers/MariaDbStatement.h"
#include "data/service/ErrorPlace.h"
#include "data/service/LostConnection.h"
#include "data/service/Progress.h"

#include <errmsg.h>
#include <mysqld_error.h>

#include <poll.h>
#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <memory>
#include <tuple>
#include <utility>

namespace vdata {

namespace {

// A row another session holds locked makes a write fail after a few seconds
// instead of waiting for as long as that session lasts.
constexpr const char* sessionSetup = "SET SESSION innodb_lock_wait_timeout = 5";

DataError errorOf(unsigned int code, const char* message) {
    const ErrorKind kind = connectionLostCode(code) ? ErrorKind::Connection : ErrorKind::Statement;
    DataError error(message, kind, std::to_string(code));
    error.setPlace(placeInMessage(message));
    return error;
}

std::string osUserName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw != nullptr ? pw->pw_name : "";
}

struct Address {
    std::string host;
    std::string socket;
    unsigned int port = 0;
};

// HOST, HOST,PORT, HOST:PORT or an absolute socket path; "(local)", "." and
// nothing mean the server's default socket on this host.
Address addressOf(const std::string& server) {
    Address a;
    if (server.starts_with('/')) {
        a.host = "localhost";
        a.socket = server;
        return a;
    }
    if (server.empty() || server == "." || server == "(local)") {
        a.host = "localhost";
        return a;
    }
    const std::size_t sep = server.find_last_of(",:");
    a.host = server.substr(0, sep);
    if (sep != std::string::npos) {
        const std::string port = server.substr(sep + 1);
        std::from_chars(port.data(), port.data() + port.size(), a.port);
    }
    return a;
}

// How long connecting waits for a server that does not answer.
constexpr int connectSeconds = 10;

[[noreturn]] void connectFailed(MYSQL* mysql, const std::string& message) {
    DataError error(message, ErrorKind::Connection, std::to_string(mysql_errno(mysql)));
    mysql_close(mysql);
    throw error;
}

// Connects without blocking, so that the progress callback is told while
// the server is silent (the wait cursor, Cancel) and a server that never
// answers is given up after a while.
void awaitConnect(MYSQL* mysql, int status, MYSQL*& connected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(connectSeconds);
    while (status != 0) {
        const int ready = waitForSocket(mysql, status, 100);
        if (ready != 0) {
            status = mysql_real_connect_cont(&connected, mysql, ready);
        } else if (!progressContinues(0)) {
            mysql_close(mysql);
            throwCancelled();
        } else if (std::chrono::steady_clock::now() >= deadline) {
            connectFailed(mysql, "The server did not answer within " +
                                     std::to_string(connectSeconds) +
                                     " seconds, so connecting was given up. Check the server "
                                     "type and the server's name and port.");
        }
    }
}

// `waitable`: connects without blocking (see awaitConnect); otherwise
// blocks for at most a few seconds (the session that stops a statement).
MYSQL* connectTo(const ConnectionString& cs, bool waitable) {
    MYSQL* mysql = mysql_init(nullptr);
    if (mysql == nullptr) {
        throw DataError("Out of memory while connecting", ErrorKind::Connection);
    }
    const unsigned int timeout = 5;
    mysql_optionsv(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (waitable) {
        mysql_optionsv(mysql, MYSQL_OPT_NONBLOCK, 0);
    } else {
        mysql_optionsv(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    }
    mysql_optionsv(mysql, MYSQL_INIT_COMMAND, sessionSetup);
    const Address a = addressOf(cs.value("Data Source"));
    std::string user = cs.value("uid");
    if (user.empty()) {
        user = osUserName();
    }
    const std::string password = cs.value("pwd");
    const std::string database = cs.value("Initial Catalog");
    const unsigned long flags = CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS;
    const auto args = [&] {
        return std::make_tuple(mysql, a.host.c_str(), user.c_str(),
                               password.empty() ? nullptr : password.c_str(),
                               database.empty() ? nullptr : database.c_str(), a.port,
                               a.socket.empty() ? nullptr : a.socket.c_str(), flags);
    };
    MYSQL* connected = nullptr;
    if (waitable) {
        awaitConnect(
            mysql,
            std::apply([&](auto... v) { return mysql_real_connect_start(&connected, v...); },
                       args()),
            connected);
    } else {
        connected = std::apply(mysql_real_connect, args());
    }
    if (connected == nullptr) {
        connectFailed(mysql, mysql_error(mysql));
    }
    return mysql;
}

} // namespace

DataError mariaDbError(MYSQL* mysql) {
    return errorOf(mysql_errno(mysql), mysql_error(mysql));
}

DataError mariaDbError(MYSQL_STMT* stmt) {
    return errorOf(mysql_stmt_errno(stmt), mysql_stmt_error(stmt));
}

bool connectionLostCode(unsigned int code) {
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == CR_CONNECTION_ERROR ||
           code == CR_CONN_HOST_ERROR || code == ER_CONNECTION_KILLED ||
           code == ER_SERVER_SHUTDOWN || code == CR_SERVER_LOST_EXTENDED;
}

MariaDbSession::MariaDbSession(const ConnectionString& cs) : cs_(cs) {
    connect();
}

void MariaDbSession::connect() {
    mysql_ = connectTo(cs_, true);
}

void MariaDbSession::close() noexcept {
    if (mysql_ != nullptr) {
        mysql_close(mysql_);
        mysql_ = nullptr;
    }
}

unsigned int MariaDbSession::lastCode(const DataError& e) {
    unsigned int code = 0;
    const std::string& text = e.nativeCode();
    std::from_chars(text.data(), text.data() + text.size(), code);
    return code;
}

bool MariaDbSession::inTransaction() const {
    unsigned int status = 0;
    mariadb_get_infov(mysql_, MARIADB_CONNECTION_SERVER_STATUS, &status);
    return (status & SERVER_STATUS_IN_TRANS) != 0;
}

// An idle connection has nothing to read; one the server ended reads as
// ready (its end, or the server's last message). Nothing is sent for this.
MYSQL* MariaDbSession::ready() {
    if (mysql_ == nullptr) {
        throw DataError("The connection is closed", ErrorKind::Connection);
    }
    pollfd fd{mysql_get_socket(mysql_), POLLIN, 0};
    if (::poll(&fd, 1, 0) > 0) {
        recover(inTransaction(), Repeat::Safe);
    }
    return mysql_;
}

void MariaDbSession::killQuery() const noexcept {
    if (mysql_ == nullptr) {
        return;
    }
    try {
        MYSQL* killer = connectTo(cs_, false);
        const std::string kill = "KILL QUERY " + std::to_string(mysql_thread_id(mysql_));
        mysql_real_query(killer, kill.c_str(), kill.size());
        mysql_close(killer);
    } catch (const DataError&) {
        // The statement then runs to its end.
    }
}

// Connects again once. Raises unless the statement that found the loss may
// run: when the server cannot be reached, when a write may have reached it,
// and once for a transaction that was open.
void MariaDbSession::recover(bool inBlock, Repeat repeat) {
    blockLost_ = blockLost_ || inBlock;
    const bool mayRepeat = repeat != Repeat::Unsafe;
    close();
    try {
        connect();
    } catch (const DataError& e) {
        mysql_ = mysql_init(nullptr); // stays open: the next statement tries again
        throw DataError(writeFateText(mayRepeat) + serverGoneText + e.what(), ErrorKind::Connection,
                        e.nativeCode());
    }
    raiseUnlessRepeatable(mayRepeat, std::exchange(blockLost_, false), transactionRolledBackText);
}

} // namespace vdata
