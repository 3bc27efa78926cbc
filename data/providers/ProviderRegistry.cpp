#include "data/providers/ProviderRegistry.h"

#include "data/providers/AccessEngine.h"
#include "data/providers/MariaDbEngine.h"
#include "data/providers/OdbcEngine.h"
#include "data/providers/PostgresEngine.h"
#include "data/providers/ServerEnumerator.h"
#include "data/providers/SqliteApi.h"
#include "data/providers/SqliteEngine.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

namespace vdata {
namespace {

// What a path names when it is not a plain file, for the refusal. Asked with
// stat(), which never blocks: opening a named pipe would wait for a writer.
std::string specialKind(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return S_ISREG(mode) ? std::string() : "not a plain file";
}

bool endsWithIgnoreCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           equalsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

void checkFile(const std::string& path) {
    if (path.empty()) {
        throw DataError("No database file was named (Data Source is empty).",
                        ErrorKind::Connection);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw DataError("Could not find file '" + path + "'.", ErrorKind::Connection);
    }
    const std::string kind = specialKind(st.st_mode);
    if (!kind.empty()) {
        throw DataError("'" + path + "' is " + kind + ", not a database file.",
                        ErrorKind::NotADatabase);
    }
    // SQLite takes an empty file for an empty database; one named as an
    // Access file is an Access file that lost its contents.
    if (st.st_size == 0 &&
        (endsWithIgnoreCase(path, ".mdb") || endsWithIgnoreCase(path, ".accdb"))) {
        throw DataError("'" + path + "' is empty (0 bytes); it holds no Access database.",
                        ErrorKind::NotADatabase);
    }
}

std::string fileHeader(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[32] = {};
    in.read(header, sizeof header);
    return std::string(header, static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
}

} // namespace

void FileFormats::add(std::size_t offset, std::string signature, EngineOpener open) {
    formats_.push_back({offset, std::move(signature), std::move(open)});
}

const FileFormats::Format* FileFormats::formatOf(const std::string& path) const {
    const std::string header = fileHeader(path);
    for (const Format& format : formats_) {
        if (header.size() >= format.offset &&
            std::string_view(header).substr(format.offset).starts_with(format.signature)) {
            return &format;
        }
    }
    return nullptr;
}

std::unique_ptr<Engine> FileFormats::open(const ConnectionString& cs) const {
    const std::string path = cs.value("Data Source");
    checkFile(path);
    const Format* format = formatOf(path);
    return format ? format->open(cs) : fallback_(cs);
}

void ProviderRegistry::add(std::string engine, EngineOpener open) {
    engines_.emplace_back(std::move(engine), std::move(open));
}

void ProviderRegistry::addAlias(std::string provider, std::string engine) {
    aliases_.emplace_back(std::move(provider), std::move(engine));
}

const EngineOpener* ProviderRegistry::find(const std::string& key) const {
    for (const auto& [name, open] : engines_) {
        if (equalsIgnoreCase(key, name)) {
            return &open;
        }
    }
    for (const auto& [provider, engine] : aliases_) {
        if (equalsIgnoreCase(key, provider)) {
            return find(engine);
        }
    }
    return nullptr;
}

std::unique_ptr<Engine> ProviderRegistry::open(const ConnectionString& cs) const {
    const std::string provider = cs.value("Provider");
    if (const EngineOpener* open = find(provider)) {
        return (*open)(cs);
    }
    throw DataError(provider.empty() ? std::string("The connection string names no provider.")
                                     : "Provider '" + provider + "' is not known to this program.",
                    ErrorKind::Connection);
}

void registerProviders(ProviderRegistry& registry) {
    registry.add("sqlite", [](const ConnectionString& cs) {
        checkFile(cs.value("Data Source"));
        return openSqliteEngine(cs);
    });
    registry.add("access", [](const ConnectionString& cs) {
        checkFile(cs.value("Data Source"));
        return openAccessEngine(cs);
    });
    registry.add("postgresql", openPostgresEngine);
    registry.add("mariadb", openMariaDbEngine);
    registry.add("odbc", openOdbcEngine);

    FileFormats files;
    files.add(0, "SQLite format 3", openSqliteEngine);
    files.add(4, "Standard Jet DB", openAccessEngine); // Access 97 to 2003 (.mdb)
    files.add(4, "Standard ACE DB", openAccessEngine); // Access 2007 and later (.accdb)
    // An encrypted SQLite file shows no signature; the SQLite engine opens it
    // with SQLCipher when a password is given, and reports any other file.
    files.setFallback(openSqliteEngine);
    registry.add("file", [files](const ConnectionString& cs) { return files.open(cs); });

    // The provider names the connection strings of the dialogs carry, and
    // that stored strings and recent lists of earlier versions hold.
    registry.addAlias("Microsoft.Jet.OLEDB.4.0", "file");
    registry.addAlias("SQLOLEDB.1", "postgresql");
    registry.addAlias("SQLOLEDB", "postgresql");
}

void installProviders() {
    static const ProviderRegistry registry = [] {
        ProviderRegistry r;
        registerProviders(r);
        return r;
    }();
    setEngineOpener([](const std::string& text) { return registry.open(ConnectionString(text)); });
    setSourceLister(listServerSources);
}

} // namespace vdata
