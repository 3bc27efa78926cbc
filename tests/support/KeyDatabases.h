#pragma once

// Databases that declare foreign keys, for the tests of what the windows do
// with them: Chinook, nwind.mdb and a PostgreSQL one with two-column keys.

#include "tests/support/AccessTestData.h"
#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/PgTestEnv.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/TestDb.h"

#include <memory>

namespace keydb {

// Two keys from box to shelf, of two columns each; shelf (1, 2) is only
// where box 1 is now.
inline const char* const shelvesPostgres = R"sql(
CREATE TABLE shelf (aisle int, bay int, PRIMARY KEY (aisle, bay));
INSERT INTO shelf VALUES (1, 1), (1, 2);
CREATE TABLE box (id int PRIMARY KEY, home_bay int, home_aisle int, at_bay int, at_aisle int,
                  FOREIGN KEY (home_aisle, home_bay) REFERENCES shelf,
                  FOREIGN KEY (at_aisle, at_bay) REFERENCES shelf);
INSERT INTO box VALUES (1, 1, 1, 2, 1), (2, 1, 1, 1, 1), (3, 1, 1, 1, 1);
)sql";

// Chinook's artists and one album, as the lookup list of a one-column key
// meets them on a server.
inline const char* const artistsPostgres = R"sql(
CREATE TABLE "Artist" ("ArtistId" int PRIMARY KEY, "Name" varchar(120));
INSERT INTO "Artist" VALUES (1, 'AC/DC'), (2, 'Accept'), (3, 'Aerosmith');
CREATE TABLE "Album" ("AlbumId" int PRIMARY KEY, "Title" varchar(160) NOT NULL,
                      "ArtistId" int NOT NULL REFERENCES "Artist");
INSERT INTO "Album" VALUES (1, 'For Those About To Rock We Salute You', 1), (2, 'Balls to the Wall', 2);
)sql";

// The same two-column keys on MariaDB, reached as the server dialog does, with names
// that need quoting there: blanks, backticks, brackets, double quotes.
inline const char* const shelvesMariaDb = R"sql(
CREATE TABLE "shelf `s` [1]" ("ai sle" int, "bay ""b""" int, PRIMARY KEY ("ai sle", "bay ""b"""))
    ENGINE=InnoDB;
INSERT INTO "shelf `s` [1]" VALUES (1, 1), (1, 2);
CREATE TABLE "box ]""b""" (id int PRIMARY KEY, "home bay" int, "home `aisle`" int, "at [bay]" int,
                           "at ""aisle""" int,
    FOREIGN KEY ("home `aisle`", "home bay") REFERENCES "shelf `s` [1]" ("ai sle", "bay ""b"""),
    FOREIGN KEY ("at ""aisle""", "at [bay]") REFERENCES "shelf `s` [1]" ("ai sle", "bay ""b"""))
    ENGINE=InnoDB;
INSERT INTO "box ]""b""" VALUES (1, 1, 1, 2, 1), (2, 1, 1, 1, 1), (3, 1, 1, 1, 1);
)sql";

// A MariaDB database with the script above, made once for the test program.
inline std::string mariaDbShelves() {
    static const mariadbtest::ScratchDatabase shelves("mdk");
    static const bool made = (shelves.exec(shelvesMariaDb), true);
    return made ? shelves.connectionString() : std::string();
}

// Chinook's artists on MariaDB, the name in a column whose name needs
// quoting there; made once, and album 1 put back on artist 1 for each test.
inline const char* const artistsMariaDb = R"sql(
CREATE TABLE "Artist" ("ArtistId" int PRIMARY KEY, "Name `a` [""b""]" varchar(120)) ENGINE=InnoDB;
INSERT INTO "Artist" VALUES (1, 'AC/DC'), (2, 'Accept'), (3, 'Aerosmith');
CREATE TABLE "Album" ("AlbumId" int PRIMARY KEY, "Title" varchar(160) NOT NULL,
                      "ArtistId" int NOT NULL REFERENCES "Artist" ("ArtistId")) ENGINE=InnoDB;
INSERT INTO "Album" VALUES (1, 'For Those About To Rock We Salute You', 1), (2, 'Balls to the Wall', 2);
)sql";

inline const mariadbtest::ScratchDatabase& mariaDbArtists() {
    static const mariadbtest::ScratchDatabase artists("mda");
    [[maybe_unused]] static const bool made = (artists.exec(artistsMariaDb), true);
    return artists;
}

// The program connected to "chinook" (a copy of the Chinook SQLite file),
// "nwind" (nwind.mdb), "shelves" or "artists" (the scripts above on the
// PostgreSQL test server, kept by `pg`), "mariadb-shelves" or
// "mariadb-artists".
inline void connectTo(ProgramFixture& env, const QString& database,
                      std::unique_ptr<pgtest::ScratchDatabase>& pg) {
    std::string connectionString;
    if (database == QLatin1String("chinook")) {
        // Chinook lies beside the Access files.
        const QString copy = env.dir.filePath("chinook.sqlite");
        QVERIFY(QFile::copy(AccessTestData::folder() + "/../chinook/Chinook_Sqlite.sqlite", copy));
        connectionString = testdb::jetString(copy);
    } else if (database == QLatin1String("nwind")) {
        connectionString = testdb::jetString(AccessTestData::file("nwind.mdb"));
    } else if (database == QLatin1String("mariadb-shelves")) {
        connectionString = mariaDbShelves();
    } else if (database == QLatin1String("mariadb-artists")) {
        mariaDbArtists().exec("UPDATE Album SET ArtistId = 1 WHERE AlbumId = 1");
        connectionString = mariaDbArtists().connectionString();
    } else {
        pg = std::make_unique<pgtest::ScratchDatabase>("md");
        pg->exec(database == QLatin1String("artists") ? artistsPostgres : shelvesPostgres);
        connectionString = pg->connectionString();
    }
    env.dm.connection.close();
    env.dm.connection.setConnectionString(connectionString);
    env.dm.connection.open();
}

} // namespace keydb
