#include "toolkit/SchemaCatalogCache.h"

#include "data/service/Connection.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace tk {

SchemaCatalogCache& SchemaCatalogCache::instance() {
    static QPointer<SchemaCatalogCache> cache;
    if (!cache) {
        cache = new SchemaCatalogCache(QCoreApplication::instance());
    }
    return *cache;
}

SchemaCatalogCache::SchemaCatalogCache(QObject* parent) : QObject(parent) {}

// A read still under way is waited for: its thread must not outlive the cache.
SchemaCatalogCache::~SchemaCatalogCache() {
    for (QThread* thread : findChildren<QThread*>()) {
        thread->wait();
    }
}

SchemaCatalogCache::Catalog SchemaCatalogCache::catalog(const std::string& connectionString) {
    if (!entries_.contains(connectionString)) {
        read(connectionString);
    }
    return entries_[connectionString].catalog;
}

void SchemaCatalogCache::reload(const std::string& connectionString) {
    read(connectionString);
}

void SchemaCatalogCache::forget(const std::string& connectionString) {
    entries_.erase(connectionString);
}

void SchemaCatalogCache::read(const std::string& connectionString) {
    const int generation = entries_[connectionString].generation = ++reads_;
    QThread* thread = QThread::create([this, connectionString, generation] {
        Catalog catalog;
        // Whatever stops the read (no reader for the file, a server gone)
        // only leaves the completion without names.
        try {
            const std::unique_ptr<vdata::Engine> engine = vdata::openEngine(connectionString);
            vdata::SchemaCatalog read = engine->readCatalog();
            read.family = engine->sqlFamily();
            catalog = std::make_shared<const vdata::SchemaCatalog>(std::move(read));
            engine->close();
        } catch (...) {
            catalog.reset();
        }
        QMetaObject::invokeMethod(
            this,
            [this, connectionString, generation, catalog] {
                deliver(connectionString, generation, catalog);
            },
            Qt::QueuedConnection);
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

void SchemaCatalogCache::deliver(const std::string& connectionString, int generation,
                                 Catalog catalog) {
    const auto entry = entries_.find(connectionString);
    if (entry == entries_.end() || entry->second.generation != generation) {
        return;
    }
    entry->second.catalog = std::move(catalog);
    emit loaded(connectionString);
}

} // namespace tk
