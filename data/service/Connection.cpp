#include "Connection.h"

#include "ConnectionString.h"
#include "Errors.h"
#include "PostgresEngine.h"
#include "SqliteEngine.h"

namespace vdata {

std::unique_ptr<Engine> openEngine(const std::string& connectionString) {
    const ConnectionString cs(connectionString);
    const std::string provider = cs.value("Provider");
    if (equalsIgnoreCase(provider, "Microsoft.Jet.OLEDB.4.0")) {
        return openSqliteEngine(cs);
    }
    if (equalsIgnoreCase(provider, "SQLOLEDB.1") || equalsIgnoreCase(provider, "SQLOLEDB")) {
        return openPostgresEngine(cs);
    }
    throw DataError(provider.empty() ? std::string("The connection string names no provider.")
                                     : "Provider '" + provider + "' is not known to this program.");
}

Connection::Connection() = default;

Connection::~Connection() {
    if (engine_) {
        engine_->close();
    }
}

void Connection::open() {
    if (connected()) {
        return;
    }
    try {
        engine_ = openEngine(connectionString_);
    } catch (const DataError& e) {
        engine_.reset();
        if (onConnectComplete) {
            onConnectComplete(EventStatus::ErrorsOccurred, e.what());
        }
        throw;
    }
    if (onConnectComplete) {
        onConnectComplete(EventStatus::OK, {});
    }
}

void Connection::close() {
    if (!engine_) {
        return;
    }
    if (onBeforeDisconnect) {
        onBeforeDisconnect();
    }
    engine_->close();
    engine_.reset();
    if (onDisconnect) {
        onDisconnect();
    }
}

bool Connection::connected() const {
    return engine_ && engine_->isOpen();
}

std::vector<std::string> Connection::tableNames() {
    open();
    return engine_->listTables();
}

std::vector<std::string> Connection::catalogNames() {
    open();
    return engine_->listCatalogs();
}

Engine& Connection::engine() {
    if (!connected()) {
        throw DataError("Operation is not allowed when the connection is closed.");
    }
    return *engine_;
}

} // namespace vdata
