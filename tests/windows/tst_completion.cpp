// Completion in the freehand window's SQL editor on the Chinook sample
// (SQLite file and PostgreSQL script), used as a person uses it: typing,
// choosing from the list with Return or Tab, then running what was written.

#include "tests/support/ChinookProgram.h"
#include "tests/support/PgTestEnv.h"

#include "toolkit/SchemaCatalogCache.h"
#include "toolkit/SqlCompleter.h"
#include "toolkit/SqlEditor.h"

#include <QFile>
#include <QTest>

namespace {

// Chinook on the test server: the script without its own database set-up
// (everything before "\c chinook;").
std::string chinookForPostgres() {
    QFile script(chinook::original().replace("Chinook_Sqlite.sqlite", "Chinook_PostgreSql.sql"));
    script.open(QIODevice::ReadOnly);
    const QByteArray text = script.readAll();
    return text.mid(text.indexOf("\\c chinook;") + 11).toStdString();
}

} // namespace

class TestCompletion : public QObject {
    Q_OBJECT
private slots:
    void init() { program::failOnConnectionWarnings(); }

    void choosingWritesWhatRuns_data() {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("count");
        const auto row = [](const char* tag, bool server, const char* typed, QList<int> keys,
                            const char* written, const char* count) {
            QTest::newRow(tag) << server << QString(typed) << keys << QString(written)
                               << QString(count);
        };
        const QList<int> ret{Qt::Key_Return};
        const QList<int> tab{Qt::Key_Tab};
        const QList<int> tabReturn{Qt::Key_Tab, Qt::Key_Return};
        row("sqlite table", false, "SELECT * FROM Al", ret, "SELECT * FROM Album",
            "SELECT count(*) FROM Album");
        row("sqlite join after ON", false, "SELECT * FROM Album al JOIN Artist ar ON ", tab,
            "SELECT * FROM Album al JOIN Artist ar ON al.ArtistId = ar.ArtistId",
            "SELECT count(*) FROM Album");
        row("sqlite join on Tab", false, "SELECT * FROM Artist ar JOIN Album al", tabReturn,
            "SELECT * FROM Artist ar JOIN Album al ON ar.ArtistId = al.ArtistId",
            "SELECT count(*) FROM Album");
        row("postgresql table", true, "SELECT * FROM Al", ret, "SELECT * FROM album",
            "SELECT count(*) FROM album");
        row("postgresql join after ON", true, "SELECT * FROM album al JOIN artist ar ON ", ret,
            "SELECT * FROM album al JOIN artist ar ON al.artist_id = ar.artist_id",
            "SELECT count(*) FROM album");
    }
    void choosingWritesWhatRuns() {
        QFETCH(bool, server);
        QFETCH(QString, typed);
        QFETCH(QList<int>, keys);
        QFETCH(QString, written);
        QFETCH(QString, count);
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        if (server && !pgtest::testServer()) {
            QSKIP(pgtest::noServerMessage);
        }
        chinook::Program env;
        if (server) {
            pg = std::make_unique<pgtest::ScratchDatabase>("completion");
            pg->exec(chinookForPostgres());
            env.dm.connection.close();
            env.dm.connection.setConnectionString(pg->connectionString());
            env.dm.connection.open();
        }
        DataWindow w(env.connection(), DataWindow::Use::Freehand);
        w.show();
        QApplication::setActiveWindow(&w);
        tk::SqlEditor* editor = w.sqlBox();
        editor->setFocus();
        editor->clear();
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
        w.show();
        QApplication::setActiveWindow(&w);
        tk::SqlEditor* editor = w.sqlBox();
        editor->setFocus();
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
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
