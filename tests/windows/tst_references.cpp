// Following the foreign keys a database declares through the real windows of
// the program on a copy of Chinook: to the referenced row and back, and to the
// rows that refer to a row.

#include "tests/support/ChinookProgram.h"
#include "tests/support/KeyDatabases.h"

#include "data/service/Query.h"
#include "toolkit/Application.h"
#include "toolkit/DBGrid.h"
#include "windows/LookupEditor.h"
#include "windows/RelationSetup.h"

#include <QStatusBar>

using chinook::Program;
using gridtest::Driver;

namespace {

// The active window's table and the value of `column` in its current row.
QString where(const ProgramFixture& env, const QString& column) {
    const QMdiSubWindow* frame = env.form.MdiClient->activeSubWindow();
    const DataWindow* w = frame ? qobject_cast<DataWindow*>(frame->widget()) : nullptr;
    if (!w) {
        return QStringLiteral("<no window>");
    }
    const vdata::Query& q = w->master().query();
    const vdata::Field* field = q.findField(column.toStdString());
    return w->table() + QLatin1Char(' ') +
           (field ? QString::fromStdString(q.currentValue(field->index()).toText())
                  : QStringLiteral("<no field>"));
}

// The rows the lookup list shows.
QStringList listedRows(const LookupEditor& editor) {
    QStringList shown;
    for (int r = 0; r < editor.rows()->rowCount(); ++r) {
        shown << editor.rows()->index(r).data().toString();
    }
    return shown;
}

// Album 1's ArtistId cell with `typed` typed into it, on "sqlite" (Chinook),
// "postgres" or "mariadb": its lookup editor, null when none opened.
LookupEditor* typeIntoAlbumArtist(Program& env, const QString& database,
                                  std::unique_ptr<pgtest::ScratchDatabase>& pg,
                                  const QString& typed) {
    if (database != QLatin1String("sqlite")) {
        keydb::connectTo(env,
                         database == QLatin1String("mariadb") ? QStringLiteral("mariadb-artists")
                                                              : QStringLiteral("artists"),
                         pg);
    }
    if (!env.started()) {
        return nullptr;
    }
    Driver d = env.open(QStringLiteral("Album"));
    d.click(0, 2);
    Driver::type(typed);
    return qobject_cast<LookupEditor*>(Driver::keyboard());
}

// A parent of two million rows and a child with a key to one near its end
// and one to a row that is not there.
const char* const bigParentSqlite = R"sql(
CREATE TABLE parent (id INTEGER PRIMARY KEY, name TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000000)
INSERT INTO parent SELECT i, 'row ' || i FROM n;
CREATE TABLE child (id INTEGER PRIMARY KEY, parent_id INT REFERENCES parent (id));
INSERT INTO child VALUES (1, 1999990), (2, 2000001);
)sql";
const char* const bigParentPostgres = R"sql(
CREATE TABLE parent (id int PRIMARY KEY, name text);
INSERT INTO parent SELECT i, 'row ' || i FROM generate_series(1, 2000000) i;
CREATE TABLE child (id int PRIMARY KEY, parent_id int);
INSERT INTO child VALUES (1, 1999990), (2, 2000001);
ALTER TABLE child ADD FOREIGN KEY (parent_id) REFERENCES parent NOT VALID;
ANALYZE parent;
)sql";

} // namespace

class TestReferences : public QObject {
    Q_OBJECT
private slots:
    void init() { program::failOnConnectionWarnings(); }

    // InvoiceLine 4 -> Track 8 -> Album 1 -> Artist 1, then back three
    // times to the row the user started from, and forward once.
    void followsReferencesAndGoesBack() {
        Program env;
        QVERIFY(env.started());
        Driver lines = env.open(QStringLiteral("InvoiceLine"));
        QVERIFY(chinook::chooseFromMenu(lines, 3, 2, {QStringLiteral("Go to the referenced row")}));
        QCOMPARE(where(env, QStringLiteral("TrackId")), QStringLiteral("Track 8"));
        // The right-click made the cell current before the menu showed.
        QCOMPARE(lines.grid->currentIndex().row(), 3);

        Driver tracks(env.active()->master().Grid);
        tracks.click(7, 2);
        Driver::key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(where(env, QStringLiteral("AlbumId")), QStringLiteral("Album 1"));
        Driver albums(env.active()->master().Grid);
        albums.click(0, 2);
        Driver::key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(where(env, QStringLiteral("ArtistId")), QStringLiteral("Artist 1"));

        const QString back[] = {QStringLiteral("Album 1"), QStringLiteral("Track 8")};
        Driver::key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(where(env, QStringLiteral("AlbumId")), back[0]);
        Driver::key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(where(env, QStringLiteral("TrackId")), back[1]);
        Driver::key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(where(env, QStringLiteral("InvoiceLineId")), QStringLiteral("InvoiceLine 4"));
        QCOMPARE(lines.grid->currentIndex().column(), 2);
        Driver::key(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(where(env, QStringLiteral("TrackId")), back[1]);
        // Each table has one view, brought forward again and again.
        QCOMPARE(env.windowCount(), 4);
    }

    // The same on each engine whose keys are read: a key of one column and
    // one of two (PostgreSQL, MariaDB), then back.
    void followsAKeyOnEachEngine_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("targetColumn");
        QTest::newRow("sqlite") << "chinook"
                                << "InvoiceLine" << 3 << "TrackId"
                                << "Track"
                                << "TrackId";
        // Track 3402 is beyond the rows a new view of Track shows at first.
        QTest::newRow("sqlite, a row not read yet") << "chinook"
                                                    << "PlaylistTrack" << 0 << "TrackId"
                                                    << "Track"
                                                    << "TrackId";
        if (AccessTestData::present()) {
            QTest::newRow("access") << "nwind"
                                    << "Orders" << 5 << "CustomerID"
                                    << "Customers"
                                    << "CustomerID";
        }
        if (pgtest::testServer()) {
            QTest::newRow("postgres") << "shelves"
                                      << "box" << 0 << "at_bay"
                                      << "shelf"
                                      << "bay";
        }
        if (mariadbtest::testServer()) {
            QTest::newRow("mariadb") << "mariadb-shelves"
                                     << "box ]\"b\"" << 0 << "at [bay]"
                                     << "shelf `s` [1]"
                                     << "bay \"b\"";
        }
    }
    void followsAKeyOnEachEngine() {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(int, row);
        QFETCH(QString, column);
        QFETCH(QString, target);
        QFETCH(QString, targetColumn);
        ProgramFixture env;
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        keydb::connectTo(env, database, pg);
        QVERIFY(env.started());
        auto* start = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
        start->setUp(table);
        Driver d(start->master().Grid);
        const vdata::Query& q = start->query();
        const int at = q.findField(column.toStdString())->index();
        d.click(row, at);
        Driver::key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(where(env, targetColumn),
                 target + ' ' + QString::fromStdString(q.cellText(row, at)));
        Driver::key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(where(env, column), table + ' ' + QString::fromStdString(q.cellText(row, at)));
        QCOMPARE(q.currentRow(), row);
    }

    // Ctrl+Return to a row near the end of a big parent lands on it without
    // reading the rows before it; an edit typed there is stored, and
    // Alt+Left goes back. A key to no row says so.
    void goesToARowOfABigParentWithoutReadingIt_data() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << "sqlite";
        if (pgtest::testServer()) {
            QTest::newRow("postgres") << "postgres";
        }
    }
    void goesToARowOfABigParentWithoutReadingIt() {
        QFETCH(QString, engine);
        const bool sqlite = engine == QLatin1String("sqlite");
        ProgramFixture env(sqlite ? bigParentSqlite : nullptr);
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        if (!sqlite) {
            pg = std::make_unique<pgtest::ScratchDatabase>("big");
            pg->exec(bigParentPostgres);
            env.dm.connection.setConnectionString(pg->connectionString());
            env.dm.connection.open();
        }
        QVERIFY(env.started());
        auto* child = new DataWindow(env.connection(), DataWindow::Use::Table, &env.form);
        child->setUp(QStringLiteral("child"));
        Driver d(child->master().Grid);
        d.click(1, 1);
        Driver::key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(env.form.statusBar()->currentMessage(),
                 QStringLiteral("parent has no row with id 2000001."));
        d.click(0, 1);
        Driver::key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(where(env, QStringLiteral("id")), QStringLiteral("parent 1999990"));
        auto* parent = qobject_cast<DataWindow*>(env.form.MdiClient->activeSubWindow()->widget());
        const vdata::Query& rows = parent->query();
        QVERIFY2(rows.recordCount() < 100000, std::to_string(rows.recordCount()).c_str());
        Driver p(parent->master().Grid);
        p.typeOver(rows.currentRow(), 1, QStringLiteral("renamed"));
        Driver::key(Qt::Key_Return);
        gridtest::press(parent->master().DBNavigator, tk::DBNavigator::Post);
        const char* const stored = "SELECT name FROM parent WHERE id = 1999990";
        QCOMPARE(sqlite ? env.readBack(stored) : pg->query(stored).at(0).at(0),
                 std::string("renamed"));
        QCOMPARE(env.count(QStringLiteral("error")), 0);
        Driver::key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(where(env, QStringLiteral("parent_id")), QStringLiteral("child 1999990"));
        // The grid's menu lists the rows before the key again.
        QVERIFY(chinook::chooseFromMenu(p, 0, 0, {QStringLiteral("Show all rows")}));
        QCOMPARE(rows.cellText(0, 0), std::string("1"));
        QCOMPARE(parent->title(), QStringLiteral("TABLE: parent"));
    }

    // A reference that leads nowhere says why in the status bar and opens
    // nothing.
    void aReferenceToNoRowSaysSo_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("status");
        QTest::newRow("missing row")
            << "InvoiceLine" << 1 << 2 << "Track has no row with TrackId 9999.";
        QTest::newRow("NULL") << "Track" << 0 << 4 << "GenreId is empty: it refers to no row.";
        QTest::newRow("no such table")
            << "Orphan" << 0 << 1 << "The key refers to table nosuch, which does not exist.";
        QTest::newRow("half of a key")
            << "Half" << 0 << 0 << "The key (x, y) is incomplete: y is empty.";
        QTest::newRow("all of a key") << "Half" << 1 << 1 << "x, y is empty: it refers to no row.";
    }
    void aReferenceToNoRowSaysSo() {
        QFETCH(QString, table);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, status);
        Program env("UPDATE InvoiceLine SET TrackId = 9999 WHERE InvoiceLineId = 2;\n"
                    "UPDATE Track SET GenreId = NULL WHERE TrackId = 1;\n"
                    "CREATE TABLE Orphan (Id INT, Ref INT REFERENCES nosuch (Id));\n"
                    "INSERT INTO Orphan VALUES (1, 5);\n"
                    "CREATE TABLE Half (x INT, y INT, FOREIGN KEY (x, y) REFERENCES "
                    "PlaylistTrack (PlaylistId, TrackId));\n"
                    "INSERT INTO Half VALUES (1, NULL), (NULL, NULL);");
        QVERIFY(env.started());
        Driver d = env.open(table);
        d.click(row, column);
        Driver::key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(env.form.statusBar()->currentMessage(), status);
        QCOMPARE(env.windowCount(), 1);
        QCOMPARE(env.count(QStringLiteral("error")), 0);
    }

    // The referring table picked from the row's menu is the child of a new
    // master-detail window, paired by the key, the master on the row.
    void showsTheRowsThatReferToARow_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("childColumn");
        QTest::addColumn<QStringList>("childValues");
        QTest::newRow("one column") << "Artist"
                                    << "Album (ArtistId)"
                                    << "ArtistId"
                                    << "AlbumId" << QStringList{"1", "4"};
        QTest::newRow("two columns") << "PlaylistTrack"
                                     << "PlayCount (PlaylistId, TrackId)"
                                     << "TrackId"
                                     << "Plays" << QStringList{"5", "7"};
        // Picked rather than the first key declared between the two tables.
        QTest::newRow("second key") << "Artist"
                                    << "Duet (SecondArtist)"
                                    << "ArtistId"
                                    << "DuetId" << QStringList{"1"};
    }
    void showsTheRowsThatReferToARow() {
        QFETCH(QString, table);
        QFETCH(QString, item);
        QFETCH(QString, key);
        QFETCH(QString, childColumn);
        QFETCH(QStringList, childValues);
        Program env("CREATE TABLE PlayCount (PlaylistId INT, TrackId INT, Plays INT, FOREIGN KEY "
                    "(PlaylistId, TrackId) REFERENCES PlaylistTrack (PlaylistId, TrackId));\n"
                    "INSERT INTO PlayCount VALUES (1, 3402, 5), (8, 3402, 1), (1, 3402, 7);\n"
                    "CREATE TABLE Duet (DuetId INT, FirstArtist INT REFERENCES Artist (ArtistId), "
                    "SecondArtist INT REFERENCES Artist (ArtistId));\n"
                    "INSERT INTO Duet VALUES (1, 2, 1), (2, 1, 3);");
        QVERIFY(env.started());
        Driver d = env.open(table);
        const QString keyValue = where(env, key);
        QVERIFY(chinook::chooseFromMenu(
            d, 0, 1, {QStringLiteral("Show rows that refer to this row"), item}));
        DataWindow* w = env.active();
        QCOMPARE(w->use(), DataWindow::Use::MasterDetail);
        QCOMPARE(w->setup()->cboMasterTable->currentText(), table);
        QCOMPARE(w->setup()->cboChildTable->currentText(), item.section(QLatin1Char(' '), 0, 0));
        const vdata::Query& master = w->master().query();
        const vdata::Field* masterKey = master.findField(key.toStdString());
        QVERIFY(masterKey);
        QCOMPARE(
            table + ' ' +
                QString::fromStdString(master.cellText(master.currentRow(), masterKey->index())),
            keyValue);
        const vdata::Query& child = *w->childQuery();
        const vdata::Field* childField = child.findField(childColumn.toStdString());
        QVERIFY(childField);
        QStringList values;
        for (int r = 0; r < child.recordCount(); ++r) {
            values << QString::fromStdString(child.cellText(r, childField->index()));
        }
        QCOMPARE(values, childValues);
        QCOMPARE(env.count(QStringLiteral("error")), 0);
    }

    // Album 1's ArtistId edited in the grid: a row picked from the lookup
    // list after a search, a key typed as in any cell, a key that names no
    // artist (refused before writing). Read back through a second connection.
    void editsAKeyWithItsLookupList_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("error");
        for (const QString& database :
             {QStringLiteral("sqlite"), QStringLiteral("postgres"), QStringLiteral("mariadb")}) {
            if (database == QLatin1String("mariadb") && !mariadbtest::testServer()) {
                continue;
            }
            const QByteArray on = " on " + database.toLatin1();
            QTest::newRow("searched and picked" + on)
                << database << "acc" << 1 << QStringList{QStringLiteral("2 \u2014 Accept")} << "2"
                << "";
            QTest::newRow("typed key" + on)
                << database << "3" << 0 << QStringList{QStringLiteral("3 \u2014 Aerosmith")} << "3"
                << "";
            QTest::newRow("no such key" + on) << database << "99999" << 0 << QStringList() << "1"
                                              << "Artist has no row with ArtistId 99999.";
        }
    }
    void editsAKeyWithItsLookupList() {
        QFETCH(QString, database);
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QStringList, listed);
        QFETCH(QString, stored);
        QFETCH(QString, error);
        Program env;
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        LookupEditor* editor = typeIntoAlbumArtist(env, database, pg, typed);
        QVERIFY(editor);
        QVERIFY(editor->list()->isVisible());
        QCOMPARE(listedRows(*editor), listed);
        for (int i = 0; i < downs; ++i) {
            Driver::key(Qt::Key_Down);
        }
        // Return closes the editor once the program's loop runs again.
        Driver::key(Qt::Key_Return);
        Program::settle();
        Driver::key(Qt::Key_Down);
        const char* const storedSql = "SELECT \"ArtistId\" FROM \"Album\" WHERE \"AlbumId\" = 1";
        const std::string storedNow =
            pg ? pg->query(storedSql).at(0).at(0)
            : database == QLatin1String("mariadb")
                ? mariadbtest::adminQuery(keydb::mariaDbArtists().name(), storedSql).at(0).at(0)
                : env.readBack(storedSql);
        QCOMPARE(storedNow, stored.toStdString());
        const QString shownError =
            env.dialogs.shown.isEmpty() ? QString() : env.dialogs.shown.last().text;
        QCOMPARE(shownError, error);
    }

    // A search term is matched literally: "%", "_", "!" and "[" are
    // characters like any other, on every engine.
    void lookupSearchMatchesWildcardsLiterally_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("listed");
        for (const QString& database :
             {QStringLiteral("sqlite"), QStringLiteral("postgres"), QStringLiteral("mariadb")}) {
            const QByteArray on = " on " + database.toLatin1();
            QTest::newRow("percent" + on) << database << "%" << QStringList();
            QTest::newRow("underscore" + on) << database << "a_c" << QStringList();
            QTest::newRow("escape and bracket" + on) << database << "![" << QStringList();
            QTest::newRow("slash" + on)
                << database << "c/d" << QStringList{QStringLiteral("1 \u2014 AC/DC")};
        }
    }
    void lookupSearchMatchesWildcardsLiterally() {
        QFETCH(QString, database);
        QFETCH(QString, typed);
        QFETCH(QStringList, listed);
        Program env;
        std::unique_ptr<pgtest::ScratchDatabase> pg;
        LookupEditor* editor = typeIntoAlbumArtist(env, database, pg, typed);
        QVERIFY(editor);
        QCOMPARE(listedRows(*editor), listed);
        Driver::key(Qt::Key_Escape);
    }

    // The list reads its rows a page at a time: Page Down past the first
    // page reaches rows read as the list scrolled.
    void lookupListReadsAsItScrolls() {
        Program env;
        QVERIFY(env.started());
        Driver d = env.open(QStringLiteral("Album"));
        d.click(0, 2);
        Driver::key(Qt::Key_F2);
        auto* editor = qobject_cast<LookupEditor*>(Driver::keyboard());
        QVERIFY(editor);
        QCOMPARE(editor->rows()->rowCount(), LookupRows::pageRows);
        const int steps = LookupRows::pageRows / (LookupEditor::shownRows - 1) + 2;
        for (int i = 0; i < steps; ++i) {
            Driver::key(Qt::Key_PageDown);
        }
        const int reached = (steps - 1) * (LookupEditor::shownRows - 1);
        QVERIFY(reached >= LookupRows::pageRows);
        QCOMPARE(editor->text(), QString::number(reached + 1));
    }
};

int main(int argc, char** argv) {
    tk::Application app(argc, argv);
    TestReferences test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_references.moc"
