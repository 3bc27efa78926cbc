#include "data/service/Connection.h"

#include "data/service/Errors.h"

namespace vdata {
namespace {

EngineOpenerByText& installedOpener() {
    static EngineOpenerByText opener;
    return opener;
}

} // namespace

void setEngineOpener(EngineOpenerByText opener) {
    installedOpener() = std::move(opener);
}

std::unique_ptr<Engine> openEngine(const std::string& connectionString) {
    if (!installedOpener()) {
        throw DataError("No data providers are installed.", ErrorKind::Connection);
    }
    return installedOpener()(connectionString);
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
        throw DataError("Operation is not allowed when the connection is closed.",
                        ErrorKind::Connection);
    }
    return *engine_;
}

} // namespace vdata
