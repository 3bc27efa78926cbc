#include "components/QrvMRU.h"

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
class TqrvMRU::UpdateGroup {
public:
    explicit UpdateGroup(TqrvMRU& list) : list_(list) { list_.BeginUpdate(); }
    ~UpdateGroup() { list_.EndUpdate(); }
    UpdateGroup(const UpdateGroup&) = delete;
    UpdateGroup& operator=(const UpdateGroup&) = delete;

private:
    TqrvMRU& list_;
};

TqrvMRU::TqrvMRU(QObject* owner) : QObject(owner) {}

TqrvMRU::~TqrvMRU() = default;

// File names on this system differ by letter case: /d/a.db and /d/A.db are
// two files, and both stay listed.
void TqrvMRU::AddItem(const QString& FileName) {
    if (FileName.isEmpty()) {
        return;
    }
    {
        UpdateGroup group(*this);
        FileNames_.removeOne(FileName);
        FileNames_.prepend(FileName);
        while (FileNames_.size() > qsizetype(MaxItems_)) {
            FileNames_.removeAt(MaxItems_);
        }
    }
    SaveChange();
}

// Each change is saved at once, so that a crash or a kill loses none.
void TqrvMRU::SaveChange() const {
    tk::guarded([this] { SaveToRegistry(); });
}

void TqrvMRU::SetMaxItems(std::uint32_t value) {
    if (value == MaxItems_) {
        return;
    }
    if (value == 0) {
        MaxItems_ = 1;
    } else if (value > MaxItemsLimit + 1) {
        MaxItems_ = MaxItemsLimit;
    } else {
        MaxItems_ = value;
        const bool trims = FileNames_.size() > qsizetype(MaxItems_);
        {
            UpdateGroup group(*this);
            while (FileNames_.size() > qsizetype(MaxItems_)) {
                FileNames_.removeLast();
            }
        }
        if (trims) {
            SaveChange();
        }
    }
}

void TqrvMRU::SetShowFullPath(bool value) {
    if (value != ShowFullPath_) {
        ShowFullPath_ = value;
        RebuildMenu();
    }
}

void TqrvMRU::SetRegistryPath(const QString& value) {
    if (value != RegistryPath_) {
        RegistryPath_ = value;
        LoadFromRegistry();
    }
}

void TqrvMRU::SetParentMenuItem(QMenu* value) {
    if (value == ParentMenuItem_) {
        return;
    }
    if (ParentMenuItem_) {
        ClearMenuItems(ParentMenuItem_);
    }
    ParentMenuItem_ = value;
    RebuildMenu();
}

void TqrvMRU::LoadFromRegistry() {
    tk::Registry registry;
    if (!registry.openKey(RegistryPath_, false)) {
        return;
    }
    UpdateGroup group(*this);
    FileNames_.clear();
    for (const auto& entry : numberedValues(registry.valueNames(), MaxItems_)) {
        FileNames_.append(registry.readString(entry.second));
    }
}

void TqrvMRU::SaveToRegistry() const {
    // Without a path there is no key of our own; never write at the root.
    if (RegistryPath_.isEmpty()) {
        return;
    }
    tk::Registry registry;
    if (!registry.openKey(RegistryPath_, true)) {
        return;
    }
    // Old values go up to the first gap; anything after it stays.
    for (qsizetype n = 1; registry.deleteValue(valueName(n)); ++n) {
    }
    for (qsizetype p = 0; p < FileNames_.size(); ++p) {
        registry.writeString(valueName(p + 1), FileNames_[p]);
    }
    registry.closeKey();
}

void TqrvMRU::ItemClick(QObject* Sender) {
    const auto* item = qobject_cast<TMRUMenuItem*>(Sender);
    if (!OnClick_ || !item) {
        return;
    }
    bool ok = false;
    const int position = item->data().toInt(&ok);
    if (!ok || position < 0 || position >= FileNames_.size()) {
        return;
    }
    const QString fileName = FileNames_[position]; // the handler may change the list
    OnClick_(this, fileName);
}

void TqrvMRU::BeginUpdate() {
    ++updateDepth_;
}

void TqrvMRU::EndUpdate() {
    if (--updateDepth_ == 0) {
        RebuildMenu();
    }
}

void TqrvMRU::RebuildMenu() {
    QMenu* menu = ParentMenuItem_;
    if (!menu) {
        return;
    }
    ClearMenuItems(menu);
    for (qsizetype i = 0; i < FileNames_.size(); ++i) {
        auto* item = new TMRUMenuItem(Caption(FileNames_[i]), this);
        item->setData(int(i));
        connect(item, &QAction::triggered, this, [this, item] { ItemClick(item); });
        menu->addAction(item);
    }
    emit menuRebuilt();
}

void TqrvMRU::ClearMenuItems(QMenu* menu) {
    const QList<QAction*> actions = menu->actions();
    for (auto it = actions.crbegin(); it != actions.crend(); ++it) {
        if (!qobject_cast<TMRUMenuItem*>(*it)) {
            continue;
        }
        menu->removeAction(*it);
        if ((*it)->parent() == this) {
            // Later, as this may run inside the entry's own triggered().
            (*it)->deleteLater();
        }
    }
}

QString TqrvMRU::Caption(const QString& fileName) const {
    QString text = fileName;
    if (!ShowFullPath_) {
        text = text.mid(text.lastIndexOf(QLatin1Char('/')) + 1);
    }
    // "&" would mark an accelerator; "&&" shows the character itself.
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
