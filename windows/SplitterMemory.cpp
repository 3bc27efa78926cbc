#include "windows/SplitterMemory.h"

#include "toolkit/ErrorReport.h"
#include "toolkit/Registry.h"

#include <QSplitter>

namespace {

const QString key = QStringLiteral("Software\\QRV\\Veldmark\\Freehand");
const QString sizesValue = QStringLiteral("Splitter");

} // namespace

namespace splitmemory {

// The value is the sizes in pixels, comma-separated ("180,395"); a value
// that is not that leaves the splitter as it was built.
void restore(QSplitter& splitter) {
    QString value;
    try {
        tk::Registry registry;
        if (!registry.openKey(key, false) || !registry.valueExists(sizesValue)) {
            return;
        }
        value = registry.readString(sizesValue);
    } catch (const tk::RegistryError&) {
        return;
    }
    QList<int> sizes;
    for (const QString& part : value.split(QLatin1Char(','))) {
        bool ok = false;
        const int size = part.toInt(&ok);
        if (!ok || size < 0) {
            return;
        }
        sizes.append(size);
    }
    if (sizes.size() == splitter.count()) {
        splitter.setSizes(sizes);
    }
}

void remember(const QSplitter& splitter) {
    // A window that was never shown has no sizes of its own yet.
    if (!splitter.isVisible()) {
        return;
    }
    QStringList sizes;
    for (const int size : splitter.sizes()) {
        sizes.append(QString::number(size));
    }
    tk::guarded([&] {
        tk::Registry registry;
        if (registry.openKey(key, true)) {
            registry.writeString(sizesValue, sizes.join(QLatin1Char(',')));
            registry.closeKey();
        }
    });
}

} // namespace splitmemory
