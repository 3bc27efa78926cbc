#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

class QSettings;

namespace tk {

// A failure of the registry layer, e.g. a value of the wrong data type.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The current user's registry hive, kept as one INI file in the user's
// configuration directory (<config>/QRV/registry.ini) and read and written
// through QSettings.
//
// A key path such as "\software\QRV\QRV Veldmark\mru" is a group path; "\" and
// "/" both separate keys, and a leading separator (or none) starts at the
// hive's root. As in a registry, key and value names are matched ignoring
// letter case; a new key or value takes the spelling it was created with.
//
// Data types: a string value (REG_SZ) is an INI entry that QSettings reads
// back as a QString. Every other QSettings type, such as @ByteArray(...),
// @Variant(...), @Point(...) or a comma-separated string list, is a value of
// another type, and readString() refuses it with RegistryError. QSettings
// itself writes integers as plain text, so they read back as strings. A key
// without values is not kept in the file (an INI file has no empty groups).
//
// Saving goes through QSaveFile (QSettings with atomic sync required): the
// file on disk is always either the old or the new version, never a part.
class Registry {
public:
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The file that holds the hive.
    static QString hiveFileName();

    // Makes `key` the current key. Without `canCreate` a key that does not
    // exist is not opened; with it, a key is opened when the hive file can be
    // written. Returns whether the key is open.
    bool openKey(const QString& key, bool canCreate);
    // Writes pending changes to disk and closes the current key. Throws
    // RegistryError when the hive file could not be saved.
    void closeKey();

    bool valueExists(const QString& name) const;
    // The value names of the current key, in the hive's spelling.
    QStringList valueNames() const;
    // Throws RegistryError when the value is missing or not a string.
    QString readString(const QString& name) const;
    void writeString(const QString& name, const QString& value);
    // Returns false when there was no such value.
    bool deleteValue(const QString& name);

private:
    QString storedName(const QString& name) const;
    void requireOpenKey() const;

    std::unique_ptr<QSettings> settings_;
    bool keyOpen_ = false;
    bool dirty_ = false;
};

} // namespace tk
