#include "data/providers/PostgresSession.h"

#include "data/providers/PostgresResult.h"
#include "data/providers/PostgresServerName.h"
#include "data/service/LostConnection.h"

#include <string>
#include <utility>
#include <vector>

#include <poll.h>

namespace vdata {

namespace {

// Session settings the value conversions rely on: ISO dates, plain money,
// hex bytea. A row another session holds locked makes a write fail after a
// few seconds instead of waiting for as long as that session lasts.
constexpr const char* sessionSetup = "SET DateStyle = 'ISO, YMD'; SET lc_monetary = 'C'; "
                                     "SET bytea_output = 'hex'; SET lock_timeout = '3s'";

PGconn* connect(const ConnectionString& cs) {
    const auto params = postgresConnectParams(cs);
    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (const auto& [key, value] : params) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        DataError error = connectionError(conn);
        PQfinish(conn);
        throw error;
    }
    return conn;
}

} // namespace

PostgresSession::PostgresSession(const ConnectionString& cs) : conn_(connect(cs)) {
    // Server notices (NOTICE, WARNING) are not errors; nothing shows them.
    // The processor stays with the connection when it is made again.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    try {
        setUp();
    } catch (const DataError&) {
        close();
        throw;
    }
}

void PostgresSession::close() noexcept {
    if (conn_ != nullptr) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
}

PGconn* PostgresSession::ready() {
    if (conn_ == nullptr) {
        throw DataError("The connection is closed", ErrorKind::Connection);
    }
    const bool inBlock = inTransactionBlock();
    if (dropped()) {
        recover(inBlock, Repeat::Safe);
    }
    return conn_;
}

bool PostgresSession::inTransactionBlock() const {
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

// A server that went away closed its end of the socket, which then reads as
// ready; reading it finds the end (after a last message, perhaps) and marks
// the connection bad. Nothing is sent, and a live idle socket has nothing to
// read, so this costs no round trip.
bool PostgresSession::dropped() {
    for (int reads = 0; reads < 4 && PQstatus(conn_) == CONNECTION_OK; ++reads) {
        pollfd fd{PQsocket(conn_), POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0 || PQconsumeInput(conn_) == 0) {
            break;
        }
    }
    return PQstatus(conn_) == CONNECTION_BAD;
}

void PostgresSession::setUp() {
    const PgResult result(PQexec(conn_, sessionSetup));
    if (!resultSucceeded(result.get())) {
        throw resultError(result.get(), conn_);
    }
}

// Connects again once (libpq keeps the parameters) and makes the session
// settings again. Raises unless the statement that found the loss may run:
// when the server cannot be reached, when a write may have reached it, and
// once for a transaction block that was open.
void PostgresSession::recover(bool inBlock, Repeat repeat) {
    blockLost_ = blockLost_ || inBlock;
    const bool mayRepeat = repeat != Repeat::Unsafe;
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        throw DataError(writeFateText(mayRepeat) + serverGoneText + connectionErrorText(conn_),
                        ErrorKind::Connection);
    }
    setUp();
    raiseUnlessRepeatable(mayRepeat, std::exchange(blockLost_, false), transactionRolledBackText);
}

} // namespace vdata
