// Completion in the freehand window's SQL editor on the Chinook sample
// (SQLite file and PostgreSQL script), used as a person uses it: typing,
// choosing from the list with Return or Tab, then running what was written.

#include "tests/support/ChinookProgram.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"

#include "toolkit/SchemaCatalogCache.h"
#include "toolkit/SqlCompleter.h"
#include "toolkit/SqlEditor.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

// Chinook for a server: the script without its own database set-up
// (everything before "\c chinook;"). `artistsOnly` keeps the tables and keys
// with the artists and albums only: MariaDB refuses some of the other rows.
std::string chinookForServers(bool artistsOnly) {
    QFile script(chinook::original().replace("Chinook_Sqlite.sqlite", "Chinook_PostgreSql.sql"));
    script.open(QIODevice::ReadOnly);
    const QByteArray text = script.readAll();
    const qsizetype begin = text.indexOf("\\c chinook;") + 11;
    if (!artistsOnly) {
        return text.mid(begin).toStdString();
    }
    const qsizetype rows = text.indexOf("INSERT INTO genre");
    const qsizetype artists = text.indexOf("INSERT INTO artist");
    const qsizetype tracks = text.indexOf("INSERT INTO track");
    return (text.mid(begin, rows - begin) + text.mid(artists, tracks - artists)).toStdString();
}

// Chinook loaded into a scratch database of the named server; its
// connection string, or empty when the server is not running.
template <class Scratch>
std::string loadChinook(std::unique_ptr<Scratch>& db, bool running, bool artistsOnly = false) {
    if (!running) {
        return {};
    }
    db = std::make_unique<Scratch>("completion");
    db->exec(chinookForServers(artistsOnly));
    return db->connectionString();
}

// The freehand window shown with the keyboard in its editor, emptied.
tk::SqlEditor* typeInto(DataWindow& w) {
    w.show();
    QApplication::setActiveWindow(&w);
    w.sqlBox()->setFocus();
    w.sqlBox()->clear();
    return w.sqlBox();
}

} // namespace

class TestCompletion : public QObject {
    Q_OBJECT
private slots:
    void init() { program::failOnConnectionWarnings(); }

    void choosingWritesWhatRuns_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("count");
        const auto row = [](const char* tag, const char* engine, const char* typed, QList<int> keys,
                            const char* written, const char* count) {
            QTest::newRow(tag) << QString(engine) << QString(typed) << keys << QString(written)
                               << QString(count);
        };
        const QList<int> ret{Qt::Key_Return};
        const QList<int> tab{Qt::Key_Tab};
        const QList<int> tabReturn{Qt::Key_Tab, Qt::Key_Return};
        row("sqlite table", "sqlite", "SELECT * FROM Al", ret, "SELECT * FROM Album",
            "SELECT count(*) FROM Album");
        row("sqlite join after ON", "sqlite", "SELECT * FROM Album al JOIN Artist ar ON ", tab,
            "SELECT * FROM Album al JOIN Artist ar ON al.ArtistId = ar.ArtistId",
            "SELECT count(*) FROM Album");
        row("sqlite join on Tab", "sqlite", "SELECT * FROM Artist ar JOIN Album al", tabReturn,
            "SELECT * FROM Artist ar JOIN Album al ON ar.ArtistId = al.ArtistId",
            "SELECT count(*) FROM Album");
        row("sqlite ';' in a string is no statement end", "sqlite",
            "SELECT * FROM Album al WHERE al.Title <> 'x;y' AND al.Alb", ret,
            "SELECT * FROM Album al WHERE al.Title <> 'x;y' AND al.AlbumId",
            "SELECT count(*) FROM Album");
        row("postgresql table", "postgresql", "SELECT * FROM Al", ret, "SELECT * FROM album",
            "SELECT count(*) FROM album");
        row("postgresql join after ON", "postgresql", "SELECT * FROM album al JOIN artist ar ON ",
            ret, "SELECT * FROM album al JOIN artist ar ON al.artist_id = ar.artist_id",
            "SELECT count(*) FROM album");
        row("mariadb table on Tab", "mariadb", "SELECT * FROM al", tab, "SELECT * FROM album",
            "SELECT count(*) FROM album");
        row("mariadb join after ON", "mariadb", "SELECT * FROM album al JOIN artist ar ON ", ret,
            "SELECT * FROM album al JOIN artist ar ON al.artist_id = ar.artist_id",
            "SELECT count(*) FROM album");
    }
    void choosingWritesWhatRuns() {
        QFETCH(QString, engine);
        QFETCH(QString, typed);
        QFETCH(QList<int>, keys);
        QFETCH(QString, written);
        QFETCH(QString, count);
        chinook::Program env;
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        std::unique_ptr<mariadbtest::ScratchDatabase> maria;
        const std::string server =
            engine == "postgresql" ? loadChinook(pg, pgtest::testServer() != nullptr)
            : engine == "mariadb"  ? loadChinook(maria, mariadbtest::testServer() != nullptr, true)
                                   : env.connection().connectionString();
        if (server.empty()) {
            QSKIP("The test server is not running");
        }
        env.dm.connection.close();
        env.dm.connection.setConnectionString(server);
        env.dm.connection.open();
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        auto* completer = editor->findChild<tk::SqlCompleter*>();
        QVERIFY(QTest::qWaitFor([completer] { return completer->catalog() != nullptr; }));

        QTest::keyClicks(editor, typed);
        for (int key : keys) {
            if (key == Qt::Key_Return) {
                QVERIFY(completer->listShown());
            }
            QTest::keyClick(editor, Qt::Key(key));
        }
        QCOMPARE(editor->text(), written);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(w.query().active());
        const std::unique_ptr<vdata::Connection> other =
            ProgramFixture::connectTo(env.connection().connectionString());
        vdata::Query rows(other.get());
        rows.setSQL(count.toStdString());
        rows.open();
        QCOMPARE(std::to_string(w.query().recordCount()), rows.field(0).asString());
        QCOMPARE(env.dialogs.shown.size(), 0);
    }

    // A table made from the window is offered once the catalogue is read again.
    void createdTableIsOffered() {
        chinook::Program env;
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        auto* completer = editor->findChild<tk::SqlCompleter*>();
        QVERIFY(QTest::qWaitFor([completer] { return completer->catalog() != nullptr; }));
        editor->setText(QStringLiteral("CREATE TABLE Zebra (Stripes INT)"));
        w.runButton()->click();
        QVERIFY(QTest::qWaitFor(
            [completer] { return completer->catalog()->find("Zebra") != nullptr; }));
        editor->clear();
        QTest::keyClicks(editor, QStringLiteral("SELECT * FROM zeb"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(editor->text(), QStringLiteral("SELECT * FROM Zebra"));
    }

    // The catalogue is read again after a reconnect: the database may have
    // been changed while it was closed.
    void reconnectReadsTheCatalogueAgain() {
        chinook::Program env;
        {
            DataWindow first(env.connection(), DataWindow::Use::Freehand);
            auto* completer = first.sqlBox()->findChild<tk::SqlCompleter*>();
            QVERIFY(QTest::qWaitFor([completer] { return completer->catalog() != nullptr; }));
        }
        env.dm.connection.close();
        testdb::run(env.path, "CREATE TABLE Zebra (Stripes INT)");
        env.dm.connection.open();
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        auto* completer = w.sqlBox()->findChild<tk::SqlCompleter*>();
        QVERIFY(QTest::qWaitFor(
            [completer] { return completer->catalog() && completer->catalog()->find("Zebra"); }));
    }

    // A catalogue that cannot be read (here the file is gone; the window's
    // session still has it open) leaves keywords only, and no message.
    void unreadableCatalogueOffersKeywords() {
        chinook::Program env;
        QVERIFY(QFile::remove(env.path));
        QSignalSpy loaded(&tk::SchemaCatalogCache::instance(), &tk::SchemaCatalogCache::loaded);
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        tk::SqlEditor* editor = typeInto(w);
        auto* completer = editor->findChild<tk::SqlCompleter*>();
        QVERIFY(loaded.wait());
        QCOMPARE(completer->catalog(), nullptr);
        QTest::keyClicks(editor, QStringLiteral("SELECT * FROM Al"));
        QVERIFY(!completer->listShown());
        QTest::keyClicks(editor, QStringLiteral("; sel"));
        QVERIFY(completer->listShown());
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(editor->text(), QStringLiteral("SELECT * FROM Al; SELECT"));
        QCOMPARE(env.dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
