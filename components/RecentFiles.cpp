#include "components/RecentFiles.h"

#include "toolkit/ErrorReport.h"
#include "toolkit/Registry.h"

#include <QRegularExpression>

#include <limits>
#include <map>

namespace {

constexpr std::uint32_t MaxItemsLimit = std::numeric_limits<std::int32_t>::max() - 1;

QString valueName(qsizetype position) {
    return QStringLiteral("MRU%1").arg(position);
}

// The values "MRU<n>" of the open key with 1 <= n <= maxItems, ordered by n.
// Only existing values are visited, so a huge MaxItems costs nothing.
std::map<std::uint64_t, QString> numberedValues(const QStringList& names, std::uint32_t maxItems) {
    static const QRegularExpression pattern(QStringLiteral("^MRU([1-9][0-9]{0,9})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    std::map<std::uint64_t, QString> result;
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const std::uint64_t n = match.captured(1).toULongLong();
        if (n <= maxItems) {
            result.emplace(n, name);
        }
    }
    return result;
}

} // namespace

// Groups changes of the list so that the menu is rebuilt once at the end,
// also when the change is cut short by an exception.
class RecentFiles::UpdateGroup {
public:
    explicit UpdateGroup(RecentFiles& list) : list_(list) { list_.BeginUpdate(); }
    ~UpdateGroup() { list_.EndUpdate(); }
    UpdateGroup(const UpdateGroup&) = delete;
    UpdateGroup& operator=(const UpdateGroup&) = delete;

private:
    RecentFiles& list_;
};

RecentFiles::RecentFiles(QObject* owner) : QObject(owner) {}

RecentFiles::~RecentFiles() = default;

// File names on this system differ by letter case: /d/a.db and /d/A.db are
// two files, and both stay listed.
void RecentFiles::AddItem(const QString& FileName) {
    if (FileName.isEmpty()) {
        return;
    }
    {
        UpdateGroup group(*this);
        fileNames_.removeOne(FileName);
        fileNames_.prepend(FileName);
        while (fileNames_.size() > qsizetype(maxItems_)) {
            fileNames_.removeAt(maxItems_);
        }
    }
    SaveChange();
}

// Each change is saved at once, so that a crash or a kill loses none.
void RecentFiles::SaveChange() const {
    tk::guarded([this] { SaveToRegistry(); });
}

void RecentFiles::SetMaxItems(std::uint32_t value) {
    if (value == maxItems_) {
        return;
    }
    if (value == 0) {
        maxItems_ = 1;
    } else if (value > MaxItemsLimit + 1) {
        maxItems_ = MaxItemsLimit;
    } else {
        maxItems_ = value;
        const bool trims = fileNames_.size() > qsizetype(maxItems_);
        {
            UpdateGroup group(*this);
            while (fileNames_.size() > qsizetype(maxItems_)) {
                fileNames_.removeLast();
            }
        }
        if (trims) {
            SaveChange();
        }
    }
}

void RecentFiles::SetShowFullPath(bool value) {
    if (value != showFullPath_) {
        showFullPath_ = value;
        RebuildMenu();
    }
}

void RecentFiles::SetRegistryPath(const QString& value) {
    if (value != registryPath_) {
        registryPath_ = value;
        LoadFromRegistry();
    }
}

void RecentFiles::SetParentMenuItem(QMenu* value) {
    if (value == parentMenuItem_) {
        return;
    }
    if (parentMenuItem_) {
        ClearMenuItems(parentMenuItem_);
    }
    parentMenuItem_ = value;
    RebuildMenu();
}

void RecentFiles::LoadFromRegistry() {
    tk::Registry registry;
    if (!registry.openKey(registryPath_, false)) {
        return;
    }
    UpdateGroup group(*this);
    fileNames_.clear();
    for (const auto& entry : numberedValues(registry.valueNames(), maxItems_)) {
        fileNames_.append(registry.readString(entry.second));
    }
}

void RecentFiles::SaveToRegistry() const {
    // Without a path there is no key of our own; never write at the root.
    if (registryPath_.isEmpty()) {
        return;
    }
    tk::Registry registry;
    if (!registry.openKey(registryPath_, true)) {
        return;
    }
    // Old values go up to the first gap; anything after it stays.
    for (qsizetype n = 1; registry.deleteValue(valueName(n)); ++n) {
    }
    for (qsizetype p = 0; p < fileNames_.size(); ++p) {
        registry.writeString(valueName(p + 1), fileNames_[p]);
    }
    registry.closeKey();
}

void RecentFiles::ItemClick(QObject* Sender) {
    const auto* item = qobject_cast<RecentFileMenuItem*>(Sender);
    if (!onClick_ || !item) {
        return;
    }
    bool ok = false;
    const int position = item->data().toInt(&ok);
    if (!ok || position < 0 || position >= fileNames_.size()) {
        return;
    }
    const QString fileName = fileNames_[position]; // the handler may change the list
    onClick_(this, fileName);
}

void RecentFiles::BeginUpdate() {
    ++updateDepth_;
}

void RecentFiles::EndUpdate() {
    if (--updateDepth_ == 0) {
        RebuildMenu();
    }
}

void RecentFiles::RebuildMenu() {
    QMenu* menu = parentMenuItem_;
    if (!menu) {
        return;
    }
    ClearMenuItems(menu);
    for (qsizetype i = 0; i < fileNames_.size(); ++i) {
        auto* item = new RecentFileMenuItem(Caption(fileNames_[i]), this);
        item->setData(int(i));
        connect(item, &QAction::triggered, this, [this, item] { ItemClick(item); });
        menu->addAction(item);
    }
    emit menuRebuilt();
}

void RecentFiles::ClearMenuItems(QMenu* menu) {
    const QList<QAction*> actions = menu->actions();
    for (auto it = actions.crbegin(); it != actions.crend(); ++it) {
        if (!qobject_cast<RecentFileMenuItem*>(*it)) {
            continue;
        }
        menu->removeAction(*it);
        if ((*it)->parent() == this) {
            // Later, as this may run inside the entry's own triggered().
            (*it)->deleteLater();
        }
    }
}

QString RecentFiles::Caption(const QString& fileName) const {
    QString text = fileName;
    if (!showFullPath_) {
        text = text.mid(text.lastIndexOf(QLatin1Char('/')) + 1);
    }
    // "&" would mark an accelerator; "&&" shows the character itself.
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
