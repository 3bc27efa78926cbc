#include "data/service/Connection.h"

#include "data/service/Errors.h"
#include "data/service/Parameters.h"
#include "data/service/SourceEnumerator.h"

namespace vdata {
namespace {

// What the program installed of its providers: how engines open, and how
// servers are listed.
template <typename Hook> Hook& installed() {
    static Hook hook;
    return hook;
}

} // namespace

void setEngineOpener(EngineOpenerByText opener) {
    installed<EngineOpenerByText>() = std::move(opener);
}

std::unique_ptr<Engine> openEngine(const std::string& connectionString) {
    if (!installed<EngineOpenerByText>()) {
        throw DataError("No data providers are installed.", ErrorKind::Connection);
    }
    return installed<EngineOpenerByText>()(connectionString);
}

void setSourceLister(SourceLister lister) {
    installed<SourceLister>() = std::move(lister);
}

std::vector<SourceRow> enumerateSources(const std::string& progId, const SourceOptions& options) {
    if (!installed<SourceLister>()) {
        throw DataError("The enumerator \"" + progId + "\" is not registered");
    }
    return installed<SourceLister>()(progId, options);
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
    keysOf_.clear();
    keysTo_.clear();
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

std::vector<std::string> Connection::tableOrderKey(const std::string& table) {
    open();
    try {
        return engine_->tableOrderKey(table);
    } catch (const DataError&) {
        return {}; // the table's own open reports what is wrong with it
    }
}

namespace {

using KeyReader = std::vector<ForeignKey> (Engine::*)(const std::string&);

const std::vector<ForeignKey>& cachedKeys(std::map<std::string, std::vector<ForeignKey>>& cache,
                                          Engine& engine, KeyReader read,
                                          const std::string& table) {
    auto found = cache.find(table);
    if (found == cache.end()) {
        std::vector<ForeignKey> keys;
        try {
            keys = (engine.*read)(table);
        } catch (const DataError&) {
            // the table's own open reports what is wrong with it
        }
        found = cache.emplace(table, std::move(keys)).first;
    }
    return found->second;
}

} // namespace

const std::vector<ForeignKey>& Connection::foreignKeysOf(const std::string& table) {
    open();
    return cachedKeys(keysOf_, *engine_, &Engine::foreignKeysOf, table);
}

const std::vector<ForeignKey>& Connection::keysReferencing(const std::string& table) {
    open();
    return cachedKeys(keysTo_, *engine_, &Engine::keysReferencing, table);
}

ResultSet Connection::select(const std::string& sql, const std::map<std::string, Value>& params) {
    Engine& session = engine();
    const ParsedSql parsed =
        parseParameters(session.rewrite(sql), [&session](int n) { return session.placeholder(n); });
    std::vector<Value> values;
    for (const std::string& name : parsed.names) {
        values.push_back(params.at(name));
    }
    return session.query(parsed.text, values);
}

Engine& Connection::engine() {
    if (!connected()) {
        throw DataError("Operation is not allowed when the connection is closed.",
                        ErrorKind::Connection);
    }
    return *engine_;
}

} // namespace vdata
