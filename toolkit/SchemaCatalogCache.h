#pragma once

#include "data/service/SchemaCatalog.h"

#include <QObject>

#include <map>
#include <memory>
#include <string>

namespace tk {

// The completion's catalogue of each database, by connection string: read
// once in the background, on a thread with an engine of its own (a window's
// engine is never used off its thread), and kept for every window on that
// database. A read that fails leaves no catalogue, and no message: the
// completion then offers keywords only.
class SchemaCatalogCache : public QObject {
    Q_OBJECT
public:
    static SchemaCatalogCache& instance();

    using Catalog = std::shared_ptr<const vdata::SchemaCatalog>;
    // The catalogue of the database, or null while it is read or when it
    // could not be; the first call starts the read.
    Catalog catalog(const std::string& connectionString);
    // Reads it again, as the schema may have changed.
    void reload(const std::string& connectionString);
    // Drops it: the database was closed, and may be changed before it is
    // opened again.
    void forget(const std::string& connectionString);

signals:
    // A read of the database's catalogue ended (with a catalogue or not).
    void loaded(const std::string& connectionString);

private:
    explicit SchemaCatalogCache(QObject* parent);
    ~SchemaCatalogCache() override;
    void read(const std::string& connectionString);
    void deliver(const std::string& connectionString, int generation, Catalog catalog);

    struct Entry {
        Catalog catalog;
        int generation = 0; // of its latest read; other reads' results are dropped
    };
    std::map<std::string, Entry> entries_;
    int reads_ = 0; // numbers every read, so that a dropped entry's read is known
};

} // namespace tk
