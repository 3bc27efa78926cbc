// Copying grid cells to the clipboard and exporting a table view's rows to a
// CSV file, on a real SQLite file, in a window of the main window.

#include "tests/support/GridDriver.h"
#include "tests/support/WindowTestEnv.h"
#include "toolkit/Cursors.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <functional>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace wintest;
using gridtest::Driver;

namespace {

const char* const notesScript = R"sql(
CREATE TABLE Notes (ID INT PRIMARY KEY, Name VARCHAR(20), Note VARCHAR(40), Day DATE,
                    At DATETIME, Pic BLOB);
INSERT INTO Notes VALUES (1, 'plain', 'a' || char(9) || 'b', '2024-02-29', '2024-02-29 13:45:00',
                          x'00ff');
INSERT INTO Notes VALUES (2, 'say "hi"', 'line1' || char(10) || 'line2', NULL, NULL, NULL);
INSERT INTO Notes VALUES (3, NULL, 'c,d', '2023-01-01', NULL, NULL);
)sql";

// The Notes table in a table view, opened as the database tree opens it.
DataWindow* openNotes(Env& env) {
    auto* w = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
    w->setUp(QStringLiteral("Notes"));
    return w;
}

// Right-clicks the grid and picks `item` from the menu that opens.
void chooseFromContextMenu(const Driver& d, const QString& item) {
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (QAction* a : menu ? menu->actions() : QList<QAction*>()) {
            if (a->text() == item) {
                chosen = true;
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
                return;
            }
        }
        if (menu) {
            menu->close();
        }
    });
    const QPoint at = d.centre(0, 0);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, d.grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(d.grid->viewport(), &event);
    QVERIFY2(chosen, qPrintable(item));
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

using Select = std::function<void(const Driver&)>;

void shiftClick(const Driver& d, int row, int column) {
    QTest::mouseClick(d.grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, d.centre(row, column));
}

void ctrlClick(const Driver& d, int row, int column) {
    QTest::mouseClick(d.grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      d.centre(row, column));
}

} // namespace

Q_DECLARE_METATYPE(Select)

class TestCopyExport : public QObject {
    Q_OBJECT
private slots:
    void init() { failOnConnectionWarnings(); }

    void copiesSelectedCells_data() {
        QTest::addColumn<Select>("select");
        QTest::addColumn<QString>("copied");
        QTest::newRow("one cell") << Select([](const Driver& d) { d.click(0, 1); }) << "plain";
        QTest::newRow("one cell's whole text, unquoted")
            << Select([](const Driver& d) { d.click(1, 2); }) << "line1\nline2";
        QTest::newRow("NULL") << Select([](const Driver& d) { d.click(2, 1); }) << "";
        QTest::newRow("binary") << Select([](const Driver& d) { d.click(0, 5); }) << "(BLOB)";
        QTest::newRow("block, quoted where needed") << Select([](const Driver& d) {
            d.click(0, 1);
            shiftClick(d, 1, 2);
        }) << "plain\t\"a\tb\"\n\"say \"\"hi\"\"\"\t\"line1\nline2\"";
        QTest::newRow("cells apart") << Select([](const Driver& d) {
            d.click(0, 0);
            ctrlClick(d, 2, 3);
        }) << "1\t\n\t2023-01-01";
        QTest::newRow("whole columns with titles") << Select([](const Driver& d) {
            d.click(0, 2);
            shiftClick(d, 2, 3);
        }) << "Note\tDay\n\"a\tb\"\t2024-02-29\n\"line1\nline2\"\t\nc,d\t2023-01-01";
        QTest::newRow("everything")
            << Select([](const Driver&) { Driver::key(Qt::Key_A, Qt::ControlModifier); })
            << "ID\tName\tNote\tDay\tAt\tPic\n"
               "1\tplain\t\"a\tb\"\t2024-02-29\t2024-02-29 13:45:00\t(BLOB)\n"
               "2\t\"say \"\"hi\"\"\"\t\"line1\nline2\"\t\t\t\n"
               "3\t\tc,d\t2023-01-01\t\t";
    }
    // Ctrl+C and the Edit menu's Copy put the selected cells on the clipboard
    // as tab-separated text.
    void copiesSelectedCells() {
        QFETCH(Select, select);
        QFETCH(QString, copied);
        Env env(notesScript);
        Driver d(openNotes(env)->master().Grid);
        QVERIFY(env.form.Edit1->actions().contains(env.form.EditCopy1));
        select(d);
        for (bool fromMenu : {false, true}) {
            QGuiApplication::clipboard()->setText(QStringLiteral("before"));
            if (fromMenu) {
                env.form.EditCopy1->trigger();
            } else {
                Driver::key(Qt::Key_C, Qt::ControlModifier);
            }
            QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        }
        QCOMPARE(env.dialogs.texts(), QStringList());
    }

    void exportsTheRowsShown_data() {
        QTest::addColumn<QString>("sortBy");
        // "file", "read-only folder", "under a file", "too large" (an earlier
        // file of that name is there, and files may not grow past 64 bytes)
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("systemMessage");
        const QString header = QStringLiteral("ID,Name,Note,Day,At,Pic\r\n");
        const QString one =
            QStringLiteral("1,plain,\"a\tb\",2024-02-29,2024-02-29 13:45:00,00ff\r\n");
        const QString two = QStringLiteral("2,\"say \"\"hi\"\"\",\"line1\nline2\",,,\r\n");
        const QString three = QStringLiteral("3,,\"c,d\",2023-01-01,,\r\n");
        const auto row = [](const char* tag, const char* sortBy, const char* target,
                            const QString& written, int error) {
            QTest::newRow(tag) << QString::fromLatin1(sortBy) << QString::fromLatin1(target)
                               << written
                               << (error ? QString::fromLocal8Bit(std::strerror(error)) : "");
        };
        const QString none = QStringLiteral("<none>");
        row("as read", "", "file", header + one + two + three, 0);
        row("sorted by a title click", "Note", "file", header + one + three + two, 0);
        row("read-only folder", "", "read-only folder", none, EACCES);
        row("folder that is a file", "", "under a file", none, ENOTDIR);
        row("disk full, earlier file kept", "", "too large", "old\r\n", EFBIG);
    }
    // Export to CSV writes the rows in the order the grid shows them; a file
    // that cannot be written is reported with the system's reason and leaves
    // nothing under the chosen name.
    void exportsTheRowsShown() {
        QFETCH(QString, sortBy);
        QFETCH(QString, target);
        QFETCH(QString, written);
        QFETCH(QString, systemMessage);
        Env env(notesScript);
        DataWindow* w = openNotes(env);
        Driver d(w->master().Grid);
        if (!sortBy.isEmpty()) {
            QHeaderView* titles = w->master().Grid->horizontalHeader();
            const int section = w->query().fieldByName(sortBy.toStdString()).index();
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                              QPoint(titles->sectionViewportPosition(section) + 5, 5));
            QCOMPARE(w->query().sort(), sortBy.toStdString());
        }
        const QString folder = env.dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        QString path = folder + QStringLiteral("/notes.csv");
        if (target == QLatin1String("read-only folder")) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            if (::access(qPrintable(folder), W_OK) == 0) {
                QSKIP("this user may write into a read-only folder");
            }
        } else if (target == QLatin1String("under a file")) {
            QFile file(folder + QStringLiteral("/plain"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            path = file.fileName() + QStringLiteral("/notes.csv");
        }
        rlimit sizeLimit{};
        getrlimit(RLIMIT_FSIZE, &sizeLimit);
        const rlimit unlimited = sizeLimit;
        if (target == QLatin1String("too large")) {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("old\r\n") == 5);
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
            sizeLimit.rlim_cur = 64;
            setrlimit(RLIMIT_FSIZE, &sizeLimit);
        }
        env.dialogs.fileAnswers.push_back(path);
        chooseFromContextMenu(d, QStringLiteral("&Export to CSV..."));
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(env.count(QStringLiteral("save")), 1);
        QCOMPARE(env.dialogs.shown.first().start, QStringLiteral("Notes.csv")); // the table's name
        QCOMPARE(readAll(path), written);
        if (systemMessage.isEmpty()) {
            QCOMPARE(env.dialogs.texts(), QStringList{env.dialogs.shown.first().text});
            QCOMPARE(env.form.statusBar()->currentMessage(),
                     QStringLiteral("3 rows written to %1").arg(path));
        } else {
            QCOMPARE(env.dialogs.texts().last(),
                     QStringLiteral("Could not export to %1:\n%2").arg(path, systemMessage));
            // Not even a temporary file is left behind.
            const QStringList left = QDir(folder).entryList(QDir::Files);
            QVERIFY2(left.size() <= 1 && (left.isEmpty() || left == QStringList{"plain"} ||
                                          written != QLatin1String("<none>")),
                     qPrintable(left.join(' ')));
        }
        QVERIFY(tk::appCursor() == tk::CursorShape::Default);
    }
};

QTEST_MAIN(TestCopyExport)
#include "tst_copyexport.moc"
