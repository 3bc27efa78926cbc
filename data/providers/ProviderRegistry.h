#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vdata {

// Opens one engine for a parsed connection string; raises DataError.
using EngineOpener = std::function<std::unique_ptr<Engine>(const ConnectionString&)>;

// The file provider's formats, told apart by the bytes a file carries at a
// fixed offset. A file that carries none of them goes to the fallback.
class FileFormats {
public:
    void add(std::size_t offset, std::string signature, EngineOpener open);
    void setFallback(EngineOpener open) { fallback_ = std::move(open); }

    // Checks that "Data Source" names an existing file, then opens it with
    // the format its first bytes show.
    std::unique_ptr<Engine> open(const ConnectionString& cs) const;

private:
    struct Format {
        std::size_t offset;
        std::string signature;
        EngineOpener open;
    };
    const Format* formatOf(const std::string& path) const;

    std::vector<Format> formats_;
    EngineOpener fallback_;
};

// The engines this program opens, by the connection string's Provider
// value (compared without regard to case): an engine's own key ("sqlite",
// "access", "postgresql", "mariadb", "odbc", "file" for a database file told by its
// first bytes) or an older provider name that stands for one of them.
class ProviderRegistry {
public:
    void add(std::string engine, EngineOpener open);
    void addAlias(std::string provider, std::string engine);
    // Raises DataError when the string names no provider or an unknown one.
    std::unique_ptr<Engine> open(const ConnectionString& cs) const;

private:
    const EngineOpener* find(const std::string& key) const;

    std::vector<std::pair<std::string, EngineOpener>> engines_;
    std::vector<std::pair<std::string, std::string>> aliases_;
};

// The one list of providers and file formats this program knows.
void registerProviders(ProviderRegistry& registry);

// Registers every provider and makes them the way each Connection opens its
// engine. Each program calls it once before it opens a connection; calling
// it again changes nothing.
void installProviders();

} // namespace vdata
