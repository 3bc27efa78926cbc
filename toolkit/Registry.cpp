#include "toolkit/Registry.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

namespace tk {
namespace {

// The name as the hive spells it: the exact spelling if present, otherwise
// the first one that differs only in letter case.
QString findIgnoringCase(const QStringList& names, const QString& name) {
    if (names.contains(name)) {
        return name;
    }
    for (const QString& candidate : names) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0) {
            return candidate;
        }
    }
    return {};
}

// A save killed before it wrote its process number into the lock file
// leaves an empty lock behind, which every later save would wait out for half
// a minute. A live writer fills its lock at once, so a lock that stays empty
// for a second is left over and goes.
void removeAbandonedLock(const QString& hive) {
    const QString lock = hive + QStringLiteral(".lock");
    for (int wait = 0; wait < 20; ++wait) {
        const QFileInfo info(lock);
        if (!info.exists() || info.size() > 0) {
            return;
        }
        QThread::msleep(50);
    }
    QFile::remove(lock);
}

} // namespace

Registry::Registry()
    : settings_(std::make_unique<QSettings>(hiveFileName(), QSettings::IniFormat)) {
    // Never fall back to writing the file in place: a crash during such a
    // write would leave half a file.
    settings_->setAtomicSyncRequired(true);
}

Registry::~Registry() {
    try {
        closeKey();
    } catch (const RegistryError&) {
        // Nobody is left to tell; the file on disk is still the old one.
    }
}

QString Registry::hiveFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/QRV/registry.ini");
}

bool Registry::openKey(const QString& key, bool canCreate) {
    closeKey();
    if (canCreate && !settings_->isWritable()) {
        return false;
    }
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    QStringList path;
    for (const QString& part : key.split(separators, Qt::SkipEmptyParts)) {
        // Resolve each level in the spelling the hive already has.
        settings_->beginGroup(path.join(QLatin1Char('/')));
        const QString existing = findIgnoringCase(settings_->childGroups(), part);
        settings_->endGroup();
        if (existing.isEmpty() && !canCreate) {
            return false;
        }
        path << (existing.isEmpty() ? part : existing);
    }
    settings_->beginGroup(path.join(QLatin1Char('/')));
    keyOpen_ = true;
    return true;
}

void Registry::closeKey() {
    if (!keyOpen_) {
        return;
    }
    settings_->endGroup();
    keyOpen_ = false;
    if (!dirty_) {
        return;
    }
    dirty_ = false;
    removeAbandonedLock(hiveFileName());
    settings_->sync();
    if (settings_->status() != QSettings::NoError) {
        throw RegistryError("Could not save the registry file " + hiveFileName().toStdString());
    }
}

bool Registry::valueExists(const QString& name) const {
    return keyOpen_ && !storedName(name).isEmpty();
}

QStringList Registry::valueNames() const {
    requireOpenKey();
    return settings_->childKeys();
}

QString Registry::readString(const QString& name) const {
    requireOpenKey();
    const QString stored = storedName(name);
    if (stored.isEmpty()) {
        return {};
    }
    const QVariant value = settings_->value(stored);
    if (value.typeId() != QMetaType::QString) {
        throw RegistryError("Invalid data type for '" + name.toStdString() + "'");
    }
    return value.toString();
}

void Registry::writeString(const QString& name, const QString& value) {
    requireOpenKey();
    const QString stored = storedName(name);
    settings_->setValue(stored.isEmpty() ? name : stored, value);
    dirty_ = true;
}

bool Registry::deleteValue(const QString& name) {
    requireOpenKey();
    const QString stored = storedName(name);
    if (stored.isEmpty()) {
        return false;
    }
    settings_->remove(stored);
    dirty_ = true;
    return true;
}

QString Registry::storedName(const QString& name) const {
    return findIgnoringCase(settings_->childKeys(), name);
}

void Registry::requireOpenKey() const {
    if (!keyOpen_) {
        throw RegistryError("No registry key is open");
    }
}

} // namespace tk
