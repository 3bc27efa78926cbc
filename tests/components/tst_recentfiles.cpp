#include "components/RecentFiles.h"
#include "toolkit/Registry.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Values = QMap<QString, QString>;

namespace {

// Each test case gets a key of its own in the test's hive.
QString freshKey() {
    static int n = 0;
    return QStringLiteral("\\software\\QRV\\Case%1\\mru").arg(++n);
}

void writeValues(const QString& key, const Values& values) {
    tk::Registry registry;
    QVERIFY(registry.openKey(key, true));
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        registry.writeString(it.key(), it.value());
    }
    registry.closeKey();
}

Values readValues(const QString& key) {
    Values values;
    tk::Registry registry;
    if (registry.openKey(key, false)) {
        for (const QString& name : registry.valueNames()) {
            values.insert(name, registry.readString(name));
        }
    }
    return values;
}

QList<RecentFileMenuItem*> entries(const QMenu& menu) {
    QList<RecentFileMenuItem*> result;
    for (QAction* action : menu.actions()) {
        if (auto* item = qobject_cast<RecentFileMenuItem*>(action)) {
            result << item;
        }
    }
    return result;
}

// The captions as the menu shows them ("&&" is one literal "&").
QStringList shownCaptions(const QMenu& menu) {
    QStringList result;
    for (const RecentFileMenuItem* item : entries(menu)) {
        result << item->iconText();
    }
    return result;
}

struct Click {
    RecentFiles* sender = nullptr;
    QString fileName;
};

} // namespace

class TestRecentFiles : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<RecentFiles> mru_;
    QList<Click> clicks_;

    // A list as the main window sets it up: six entries, the menu, OnClick.
    RecentFiles& makeList(std::uint32_t maxItems = 6) {
        menu_ = std::make_unique<QMenu>(QStringLiteral("&MRU"));
        mru_ = std::make_unique<RecentFiles>();
        mru_->SetMaxItems(maxItems);
        mru_->SetParentMenuItem(menu_.get());
        mru_->SetOnClick([this](RecentFiles* s, const QString& f) { clicks_.append({s, f}); });
        return *mru_;
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

    void cleanup() {
        mru_.reset();
        menu_.reset();
        clicks_.clear();
    }

    // File names differ by letter case here: both spellings stay listed.
    void addingComparesNamesExactly() {
        RecentFiles& list = makeList();
        list.AddItem(QStringLiteral("/data/other.db"));
        list.AddItem(QStringLiteral("/data/a.mdb"));
        list.AddItem(QStringLiteral("/DATA/A.MDB"));
        QCOMPARE(list.FileNames(),
                 (QStringList{QStringLiteral("/DATA/A.MDB"), QStringLiteral("/data/a.mdb"),
                              QStringLiteral("/data/other.db")}));
        QCOMPARE(shownCaptions(*menu_), list.FileNames());
        list.AddItem(QStringLiteral("/DATA/A.MDB"));
        QCOMPARE(list.FileNames().size(), 3);
        // A name already listed moves to the head; the count stays.
        list.AddItem(QStringLiteral("/data/other.db"));
        QCOMPARE(list.FileNames(),
                 (QStringList{QStringLiteral("/data/other.db"), QStringLiteral("/DATA/A.MDB"),
                              QStringLiteral("/data/a.mdb")}));
        // An empty name changes nothing.
        QSignalSpy rebuilt(&list, &RecentFiles::menuRebuilt);
        list.AddItem(QString());
        QCOMPARE(list.FileNames().size(), 3);
        QCOMPARE(rebuilt.count(), 0);
    }

    void theSeventhNameDropsTheOldest() {
        RecentFiles& list = makeList(6);
        for (int i = 1; i <= 7; ++i) {
            list.AddItem(QStringLiteral("/f/%1.db").arg(i));
        }
        QStringList expected;
        for (int i = 7; i >= 2; --i) {
            expected << QStringLiteral("/f/%1.db").arg(i);
        }
        QCOMPARE(list.FileNames(), expected);
        QCOMPARE(shownCaptions(*menu_), expected);
    }

    void eachChangeRebuildsTheMenuOnce() {
        const QString key = freshKey();
        writeValues(key, {{"MRU1", "/r/1.db"}, {"MRU2", "/r/2.db"}, {"MRU3", "/r/3.db"}});
        RecentFiles& list = makeList();
        QSignalSpy rebuilt(&list, &RecentFiles::menuRebuilt);
        list.SetRegistryPath(key);
        QCOMPARE(rebuilt.count(), 1);
        list.AddItem(QStringLiteral("/r/4.db"));
        QCOMPARE(rebuilt.count(), 2);
        list.SetMaxItems(2);
        QCOMPARE(rebuilt.count(), 3);
        QCOMPARE(list.FileNames().size(), 2);
        list.SetShowFullPath(false);
        list.SetShowFullPath(false);
        QCOMPARE(rebuilt.count(), 4);
        QCOMPARE(entries(*menu_).size(), 2);
    }

    void shortCaptionsStillDeliverTheFullName() {
        RecentFiles& list = makeList();
        list.AddItem(QStringLiteral("/srv/db/b&c.db"));
        list.AddItem(QStringLiteral("/srv/db/a.db"));
        // "&" is shown literally, not as a mnemonic.
        QCOMPARE(entries(*menu_)[1]->text(), QStringLiteral("/srv/db/b&&c.db"));
        QCOMPARE(shownCaptions(*menu_), (QStringList{"/srv/db/a.db", "/srv/db/b&c.db"}));
        list.SetShowFullPath(false);
        QCOMPARE(shownCaptions(*menu_), (QStringList{"a.db", "b&c.db"}));
        entries(*menu_)[1]->trigger();
        QCOMPARE(clicks_.size(), 1);
        QCOMPARE(clicks_[0].sender, &list);
        QCOMPARE(clicks_[0].fileName, QStringLiteral("/srv/db/b&c.db"));
        // Choosing an entry does not reorder the list.
        QCOMPARE(list.FileNames(), (QStringList{"/srv/db/a.db", "/srv/db/b&c.db"}));
        // Foreign senders and a missing handler do nothing.
        QAction foreign(QStringLiteral("other"));
        foreign.setData(0);
        list.ItemClick(&foreign);
        list.SetOnClick({});
        entries(*menu_)[0]->trigger();
        QCOMPARE(clicks_.size(), 1);
    }

    void otherMenuEntriesStayAndParentsCanChange() {
        RecentFiles& list = makeList();
        QAction* own = menu_->addAction(QStringLiteral("Clear list"));
        list.AddItem(QStringLiteral("/a.db"));
        list.AddItem(QStringLiteral("/b.db"));
        QCOMPARE(menu_->actions().size(), 3);
        QCOMPARE(menu_->actions().first(), own);

        QMenu second;
        list.SetParentMenuItem(&second);
        QCOMPARE(menu_->actions(), QList<QAction*>{own});
        QCOMPARE(shownCaptions(second), (QStringList{"/b.db", "/a.db"}));
        list.SetParentMenuItem(nullptr);
        QVERIFY(second.actions().isEmpty());
        // A destroyed parent is forgotten.
        auto third = std::make_unique<QMenu>();
        list.SetParentMenuItem(third.get());
        third.reset();
        QVERIFY(!list.ParentMenuItem());
        list.AddItem(QStringLiteral("/c.db"));
        QCOMPARE(list.FileNames(), (QStringList{"/c.db", "/b.db", "/a.db"}));
    }

    void maxItemsIsClampedAndTrimsOnlyOrdinaryValues() {
        RecentFiles& list = makeList(6);
        for (int i = 1; i <= 4; ++i) {
            list.AddItem(QStringLiteral("/m/%1.db").arg(i));
        }
        list.SetMaxItems(0);
        QCOMPARE(list.MaxItems(), 1u);
        QCOMPARE(list.FileNames().size(), 4); // trimmed by the next AddItem only
        list.AddItem(QStringLiteral("/m/5.db"));
        QCOMPARE(list.FileNames(), QStringList{"/m/5.db"});

        list.SetMaxItems(2147483647u);
        QCOMPARE(list.MaxItems(), 2147483647u);
        list.SetMaxItems(2147483648u);
        QCOMPARE(list.MaxItems(), 2147483646u);
        list.SetMaxItems(4294967295u);
        QCOMPARE(list.MaxItems(), 2147483646u);

        for (int i = 6; i <= 9; ++i) {
            list.AddItem(QStringLiteral("/m/%1.db").arg(i));
        }
        list.SetMaxItems(3);
        QCOMPARE(list.FileNames(), (QStringList{"/m/9.db", "/m/8.db", "/m/7.db"}));
        QCOMPARE(entries(*menu_).size(), 3);
    }

    void loadsNumberedValuesUpToMaxItems() {
        const QString key = freshKey();
        writeValues(key, {{"MRU1", "/l/1.db"},
                          {"MRU3", "/l/3.db"},
                          {"MRU4", "/l/4.db"},
                          {"MRU03", "/l/zero.db"},
                          {"MRUX", "/l/x.db"},
                          {"Other", "/l/o.db"}});
        RecentFiles& list = makeList(3);
        list.SetRegistryPath(key);
        QCOMPARE(list.FileNames(), (QStringList{"/l/1.db", "/l/3.db"}));
        QCOMPARE(shownCaptions(*menu_), list.FileNames());

        // A huge MaxItems reads what exists, quickly.
        list.SetMaxItems(4294967295u);
        list.LoadFromRegistry();
        QCOMPARE(list.FileNames(), (QStringList{"/l/1.db", "/l/3.db", "/l/4.db"}));
    }

    void aGapLeavesTheStaleValueBehindOnSaving() {
        const QString key = freshKey();
        writeValues(key, {{"MRU1", "/g/1.db"}, {"MRU3", "/g/3.db"}});
        RecentFiles& list = makeList();
        list.SetRegistryPath(key);
        QCOMPARE(list.FileNames(), (QStringList{"/g/1.db", "/g/3.db"}));
        list.SaveToRegistry();
        QCOMPARE(readValues(key),
                 (Values{{"MRU1", "/g/1.db"}, {"MRU2", "/g/3.db"}, {"MRU3", "/g/3.db"}}));
        list.LoadFromRegistry();
        QCOMPARE(list.FileNames(), (QStringList{"/g/1.db", "/g/3.db", "/g/3.db"}));
    }

    void valuesAboveMaxItemsGoOnlyWithoutAGap() {
        const QString whole = freshKey();
        writeValues(whole, {{"MRU1", "a"}, {"MRU2", "b"}, {"MRU3", "c"}, {"MRU4", "d"}});
        RecentFiles& list = makeList(2);
        list.SetRegistryPath(whole);
        QCOMPARE(list.FileNames(), (QStringList{"a", "b"}));
        list.SaveToRegistry();
        QCOMPARE(readValues(whole), (Values{{"MRU1", "a"}, {"MRU2", "b"}}));

        const QString gapped = freshKey();
        writeValues(gapped, {{"MRU1", "a"}, {"MRU2", "b"}, {"MRU4", "d"}});
        list.SetRegistryPath(gapped);
        list.SaveToRegistry();
        QCOMPARE(readValues(gapped), (Values{{"MRU1", "a"}, {"MRU2", "b"}, {"MRU4", "d"}}));
    }

    void anEmptyValueIsAnEntryWithAnEmptyCaption() {
        const QString key = freshKey();
        writeValues(key, {{"MRU1", ""}, {"MRU2", "/e/2.db"}});
        RecentFiles& list = makeList();
        list.SetRegistryPath(key);
        QCOMPARE(list.FileNames(), (QStringList{"", "/e/2.db"}));
        QCOMPARE(shownCaptions(*menu_), (QStringList{"", "/e/2.db"}));
        entries(*menu_)[0]->trigger();
        QCOMPARE(clicks_.size(), 1);
        QCOMPARE(clicks_[0].fileName, QString(""));
    }

    void settingThePathReloadsOnlyWhenItDiffers() {
        const QString key = freshKey();
        writeValues(key, {{"MRU1", "/p/1.db"}});
        RecentFiles& list = makeList();
        list.SetRegistryPath(key);
        QCOMPARE(list.FileNames(), QStringList{"/p/1.db"});

        writeValues(key, {{"MRU1", "/p/changed.db"}});
        list.SetRegistryPath(key);
        QCOMPARE(list.FileNames(), QStringList{"/p/1.db"});
        // The comparison is case-sensitive, the key lookup is not.
        list.SetRegistryPath(key.toUpper());
        QCOMPARE(list.FileNames(), QStringList{"/p/changed.db"});
        // A key that does not exist keeps the list.
        list.SetRegistryPath(freshKey());
        QCOMPARE(list.FileNames(), QStringList{"/p/changed.db"});
    }

    void aValueOfAnotherTypeStopsTheLoadKeepingEarlierEntries() {
        const QString key = freshKey();
        writeValues(key, {{"MRU1", "/t/1.db"}, {"MRU3", "/t/3.db"}});
        {
            QSettings raw(tk::Registry::hiveFileName(), QSettings::IniFormat);
            raw.setValue(QString(key).replace('\\', '/').mid(1) + "/MRU2",
                         QByteArray("\x00\x01", 2));
        }
        RecentFiles& list = makeList();
        list.AddItem(QStringLiteral("/t/before.db"));
        try {
            list.SetRegistryPath(key);
            QFAIL("a binary value was read as a string");
        } catch (const tk::RegistryError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Invalid data type for 'MRU2'"));
        }
        QCOMPARE(list.FileNames(), QStringList{"/t/1.db"});
        QCOMPARE(shownCaptions(*menu_), QStringList{"/t/1.db"});
    }

    // Each change is on disk at once: a program killed after it keeps it.
    void savedAtEachChangeAndReadByTheNextRun() {
        const QString key = freshKey();
        RecentFiles& first = makeList();
        first.SetRegistryPath(key);
        first.AddItem(QStringLiteral("/run/a.db"));
        QCOMPARE(readValues(key), (Values{{"MRU1", "/run/a.db"}}));
        first.AddItem(QStringLiteral("/run/b.db"));
        QCOMPARE(readValues(key), (Values{{"MRU1", "/run/b.db"}, {"MRU2", "/run/a.db"}}));
        cleanup();
        QCOMPARE(readValues(key), (Values{{"MRU1", "/run/b.db"}, {"MRU2", "/run/a.db"}}));

        RecentFiles& second = makeList();
        second.SetRegistryPath(key);
        QCOMPARE(shownCaptions(*menu_), (QStringList{"/run/b.db", "/run/a.db"}));
        entries(*menu_)[1]->trigger();
        QCOMPARE(clicks_.last().fileName, QStringLiteral("/run/a.db"));
        cleanup();
        {
            RecentFiles noPath; // without a registry path nothing is written
            noPath.AddItem(QStringLiteral("/nowhere.db"));
        }
        QCOMPARE(readValues(key), (Values{{"MRU1", "/run/b.db"}, {"MRU2", "/run/a.db"}}));
        QVERIFY(readValues(QStringLiteral("\\")).isEmpty());
    }

    void anUnwritableHiveIsLeftAloneSilently() {
        QTemporaryDir other;
        QFile blocker(other.path() + QStringLiteral("/QRV")); // no directory can be made
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(other.path()));
        {
            RecentFiles& list = makeList();
            list.AddItem(QStringLiteral("/kept.db"));
            list.SetRegistryPath(freshKey());
            QCOMPARE(list.FileNames(), QStringList{"/kept.db"});
            list.SaveToRegistry();
            cleanup();
        }
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        QCOMPARE(QFileInfo(blocker.fileName()).size(), 0);
    }
};

QTEST_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
