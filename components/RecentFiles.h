#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>

// A menu entry made by RecentFiles. Its class alone marks the entries the list
// owns, so that the list removes only those from the parent menu. Its data()
// holds the entry's position in the list at the last rebuild.
class RecentFileMenuItem : public QAction {
    Q_OBJECT
public:
    using QAction::QAction;
};

class RecentFiles;
using TMRUClickEvent = std::function<void(RecentFiles* Sender, const QString& FileName)>;

// The recent-files list: file names, most recent first, kept in the current
// user's registry under RegistryPath (values MRU1, MRU2, ...; MRU1 the most
// recent) and shown as entries of ParentMenuItem. Choosing an entry raises
// OnClick with the stored file name.
//
// Typical use: create it with its owner, set MaxItems, ParentMenuItem and
// OnClick, then set RegistryPath, which loads the list. Each change of the
// list is saved at once; a failed save is reported.
class RecentFiles : public QObject {
    Q_OBJECT
    Q_PROPERTY(uint MaxItems READ MaxItems WRITE SetMaxItems)
    Q_PROPERTY(bool ShowFullPath READ ShowFullPath WRITE SetShowFullPath)
    Q_PROPERTY(QString RegistryPath READ RegistryPath WRITE SetRegistryPath)
    Q_PROPERTY(QMenu* ParentMenuItem READ ParentMenuItem WRITE SetParentMenuItem)

public:
    explicit RecentFiles(QObject* owner = nullptr);
    ~RecentFiles() override;

    // Puts FileName at the head of the list, removing the same name further
    // down (names compare exactly). An empty name is ignored.
    void AddItem(const QString& FileName);

    const QStringList& FileNames() const { return fileNames_; }

    std::uint32_t MaxItems() const { return maxItems_; }
    // 0 is taken as 1 and values above INT32_MAX as INT32_MAX - 1; only an
    // ordinary value trims the list at once.
    void SetMaxItems(std::uint32_t value);

    bool ShowFullPath() const { return showFullPath_; }
    void SetShowFullPath(bool value);

    QString RegistryPath() const { return registryPath_; }
    // A different path (compared case-sensitively) loads the list from it.
    void SetRegistryPath(const QString& value);

    QMenu* ParentMenuItem() const { return parentMenuItem_; }
    void SetParentMenuItem(QMenu* value);

    const TMRUClickEvent& OnClick() const { return onClick_; }
    void SetOnClick(TMRUClickEvent handler) { onClick_ = std::move(handler); }

    // Reads the list from RegistryPath; a missing key leaves it unchanged.
    // A value that is not a string throws tk::RegistryError after the
    // entries before it have been taken.
    void LoadFromRegistry();
    // Writes the list to RegistryPath (see the class comment for the
    // format). Throws tk::RegistryError when the file cannot be saved.
    void SaveToRegistry() const;

    // The handler of every entry's triggered() signal.
    void ItemClick(QObject* Sender);

signals:
    // Emitted after each rebuild of the menu entries.
    void menuRebuilt();

private:
    class UpdateGroup;

    void BeginUpdate();
    void EndUpdate();
    void RebuildMenu();
    void SaveChange() const;
    void ClearMenuItems(QMenu* menu);
    QString Caption(const QString& fileName) const;

    QStringList fileNames_;
    std::uint32_t maxItems_ = 4;
    bool showFullPath_ = true;
    QString registryPath_;
    // Forgets the menu by itself when the menu is destroyed.
    QPointer<QMenu> parentMenuItem_;
    TMRUClickEvent onClick_;
    int updateDepth_ = 0;
};
