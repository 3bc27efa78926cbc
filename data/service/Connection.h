#pragma once

#include "data/service/Engine.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vdata {

enum class EventStatus { OK, ErrorsOccurred };

// A connection to one database, chosen by its connection string's Provider
// among the providers the program installed (see setEngineOpener below).
// The events fire synchronously inside open() and close().
class Connection {
public:
    Connection();
    ~Connection(); // closes silently, without firing events
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(std::string text) { connectionString_ = std::move(text); }
    const std::string& connectionString() const { return connectionString_; }

    // Opens; fires onConnectComplete(OK) on success. On failure fires
    // onConnectComplete(ErrorsOccurred, message) and raises DataError.
    void open();
    // Fires onBeforeDisconnect, closes, fires onDisconnect. Closing a closed
    // connection does nothing.
    void close();
    bool connected() const;

    std::function<void(EventStatus, const std::string& error)> onConnectComplete;
    std::function<void()> onBeforeDisconnect;
    std::function<void()> onDisconnect;

    // Tables and views without system tables, in catalogue order. Connects
    // first if needed.
    std::vector<std::string> tableNames();
    std::vector<std::string> catalogNames();
    // The columns a view of the whole table lists its rows by (see Engine);
    // empty for stored order, or when the table cannot be looked up.
    std::vector<std::string> tableOrderKey(const std::string& table);
    // The declared foreign keys of `table` and those referencing it (see
    // Engine), read once per table while connected; empty when the table
    // cannot be looked up.
    const std::vector<ForeignKey>& foreignKeysOf(const std::string& table);
    const std::vector<ForeignKey>& keysReferencing(const std::string& table);

    // Runs a statement in this system's SQL ([x] names, TOP n, :name
    // parameters given by name) and copies its rows. Raises DataError.
    ResultSet select(const std::string& sql, const std::map<std::string, Value>& params = {});

    // The open session; raises DataError when not connected.
    Engine& engine();

private:
    std::string connectionString_;
    std::unique_ptr<Engine> engine_;
    std::map<std::string, std::vector<ForeignKey>> keysOf_;
    std::map<std::string, std::vector<ForeignKey>> keysTo_;
};

// How connections open their engine: the program installs its providers
// here once, before it opens a connection (the service knows none itself).
using EngineOpenerByText = std::function<std::unique_ptr<Engine>(const std::string&)>;
void setEngineOpener(EngineOpenerByText opener);

// Opens the engine for a connection string through the installed providers;
// raises DataError when none are installed.
std::unique_ptr<Engine> openEngine(const std::string& connectionString);

} // namespace vdata
