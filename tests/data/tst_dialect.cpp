#include "data/service/ConnectionString.h"
#include "data/service/Dialect.h"
#include "data/service/ErrorPlace.h"
#include "data/service/Parameters.h"
#include "data/service/SqlCompletion.h"
#include "data/service/SqlStatements.h"
#include "data/service/TableReferences.h"
#include "data/service/WholeTableChange.h"

#include <QtTest>

using namespace vdata;

namespace {

// Albums of artists, and invoices with their lines in a table whose name
// needs quotes; `lowerCase` for an engine that reads unquoted names so.
SchemaCatalog musicCatalog(bool lowerCase = false) {
    SchemaCatalog c;
    c.tables = {{"Album", {"AlbumId", "Title", "ArtistId"}},
                {"Artist", {"ArtistId", "Name"}},
                {"Invoice", {"InvoiceId", "Total"}},
                {"Invoice Line", {"InvoiceLineId", "InvoiceId"}}};
    c.keys = {{"", "Album", {"ArtistId"}, "Artist", {"ArtistId"}},
              {"", "Invoice Line", {"InvoiceId"}, "Invoice", {"InvoiceId"}}};
    c.quoting.foldsToLower = lowerCase;
    c.buildIndex();
    return c;
}

} // namespace

class TestDialect : public QObject {
    Q_OBJECT
private slots:
    // `text` holds '|' where the caret stands; `kind` picks the items compared.
    void completion_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("replaced");
        QTest::addColumn<bool>("lowerCase");
        using K = Completion::Kind;
        const auto row = [](const char* tag, const char* text, K kind, QStringList items,
                            const char* replaced, bool lowerCase = false) {
            QTest::newRow(tag) << QString::fromUtf8(text) << int(kind) << items
                               << QString::fromUtf8(replaced) << lowerCase;
        };
        row("from", "SELECT * FROM al|", K::Table, {"Album"}, "al");
        row("join", "SELECT * FROM Album JOIN ar|", K::Table, {"Artist"}, "ar");
        row("update, name with a blank quoted", "UPDATE inv|", K::Table,
            {"Invoice", "\"Invoice Line\""}, "inv");
        row("into", "INSERT INTO Art|", K::Table, {"Artist"}, "Art");
        row("lower-case engine quotes capitals", "SELECT * FROM al|", K::Table, {"\"Album\""}, "al",
            true);
        row("typed quote", "SELECT * FROM \"inv|", K::Table, {"\"Invoice\"", "\"Invoice Line\""},
            "\"inv");
        row("alias dot", "SELECT a.| FROM Album a", K::Column, {"AlbumId", "Title", "ArtistId"},
            "");
        row("alias after AS", "SELECT a.t| FROM Album AS a", K::Column, {"Title"}, "t");
        row("table dot", "SELECT album.al| FROM Album", K::Column, {"AlbumId"}, "al");
        row("columns in scope", "SELECT Tit| FROM Album", K::Column, {"Title"}, "Tit");
        row("join condition", "SELECT * FROM Album al JOIN Artist ar ON |", K::JoinCondition,
            {"al.ArtistId = ar.ArtistId"}, "");
        row("join condition, key the other way", "SELECT * FROM Artist ar JOIN Album al ON |",
            K::JoinCondition, {"ar.ArtistId = al.ArtistId"}, "");
        row("join condition, tables as written", "SELECT * FROM Invoice JOIN \"Invoice Line\" ON |",
            K::JoinCondition, {"Invoice.InvoiceId = \"Invoice Line\".InvoiceId"}, "");
        row("second statement's alias", "SELECT * FROM Album a;\nSELECT a.| FROM Artist a",
            K::Column, {"ArtistId", "Name"}, "");
        row("keyword", "sel|", K::Keyword, {"SELECT"}, "sel");
        row("table to drop", "DROP TABLE art|", K::Table, {"Artist"}, "art");
        row("new table's name", "CREATE TABLE art|", K::Table, {}, "art");
        row("alias being typed", "SELECT * FROM Album al|", K::Keyword, {}, "al");
        row("in a string", "SELECT 'FROM al|", K::Keyword, {}, "");
        row("in a line comment", "SELECT * -- FROM al|", K::Keyword, {}, "");
        row("in a block comment", "/* FROM al| */ SELECT 1", K::Keyword, {}, "");
    }
    void completion() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QStringList, items);
        QFETCH(QString, replaced);
        QFETCH(bool, lowerCase);
        const std::string sql = text.toStdString();
        const std::size_t caret = sql.find('|');
        const std::string plain = sql.substr(0, caret) + sql.substr(caret + 1);
        const SchemaCatalog catalog = musicCatalog(lowerCase);
        const Completion c = completeSql(plain, caret, &catalog);
        QStringList found;
        for (const Completion::Item& item : c.items) {
            if (int(item.kind) == kind) {
                found << QString::fromStdString(item.text);
            }
        }
        QCOMPARE(found, items);
        if (items.isEmpty()) {
            QCOMPARE(c.items.size(), std::size_t(0));
        }
        QCOMPARE(QString::fromStdString(plain.substr(c.from, c.to - c.from)), replaced);
    }

    // Tab after "JOIN t [alias]" offers the ON clause at the caret; nothing
    // before the join's table is named.
    void joinClauseOnTab() {
        const SchemaCatalog catalog = musicCatalog();
        const std::string sql = "SELECT * FROM Album al JOIN Artist ar";
        const Completion c = joinClauseAt(sql, sql.size(), &catalog);
        QCOMPARE(c.items.size(), std::size_t(1));
        QCOMPARE(c.items.front().text, std::string(" ON al.ArtistId = ar.ArtistId"));
        QCOMPARE(c.from, sql.size());
        QVERIFY(joinClauseAt("SELECT * FROM Album al JOIN ", 28, &catalog).items.empty());
        QVERIFY(changesSchema("SELECT 1; create table t(a int)"));
        QVERIFY(!changesSchema("SELECT 'drop' FROM t -- alter"));
    }

    void top_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("plain") << "SELECT TOP 1 * FROM Customers"
                               << "SELECT * FROM Customers LIMIT 1";
        QTest::newRow("lower case, distinct") << "select distinct top 10 a from t"
                                              << "select distinct a from t LIMIT 10";
        QTest::newRow("order by stays before limit") << "SELECT TOP 5 a FROM t ORDER BY a DESC"
                                                     << "SELECT a FROM t ORDER BY a DESC LIMIT 5";
        QTest::newRow("nested select") << "SELECT * FROM (SELECT TOP 2 a FROM t) x WHERE a > 1"
                                       << "SELECT * FROM (SELECT a FROM t LIMIT 2) x WHERE a > 1";
        QTest::newRow("both levels") << "SELECT TOP 3 * FROM (SELECT TOP 2 a FROM t) x"
                                     << "SELECT * FROM (SELECT a FROM t LIMIT 2) x LIMIT 3";
        QTest::newRow("TOP inside identifiers") << "SELECT TOPIC, [TOP 1] FROM STOP"
                                                << "SELECT TOPIC, [TOP 1] FROM STOP";
        QTest::newRow("TOP in a string") << "SELECT 'SELECT TOP 1' FROM t"
                                         << "SELECT 'SELECT TOP 1' FROM t";
        QTest::newRow("TOP in a comment") << "SELECT a -- SELECT TOP 1\nFROM t"
                                          << "SELECT a -- SELECT TOP 1\nFROM t";
        QTest::newRow("trailing comment") << "SELECT TOP 1 * FROM t -- note"
                                          << "SELECT * FROM t LIMIT 1 -- note";
        QTest::newRow("before semicolon") << "SELECT TOP 1 * FROM t;"
                                          << "SELECT * FROM t LIMIT 1;";
        QTest::newRow("bracketed table with blank") << "SELECT TOP 1 * FROM [Order Details]"
                                                    << "SELECT * FROM [Order Details] LIMIT 1";
        QTest::newRow("percent left alone") << "SELECT TOP 5 PERCENT * FROM t"
                                            << "SELECT TOP 5 PERCENT * FROM t";
    }
    void top() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(QString::fromStdString(rewriteTop(in.toStdString())), out);
    }

    // Rewritten for engines without brackets (out) and for SQLite, which
    // reads [x] but ends it at the first ']' (sqlite).
    void brackets_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("sqlite");
        const auto row = [](const char* name, const QString& in, const QString& out,
                            const QString& sqlite = {}) {
            QTest::newRow(name) << in << out << (sqlite.isNull() ? in : sqlite);
        };
        row("simple", "SELECT * FROM [Order Details]", "SELECT * FROM \"Order Details\"");
        row("quote inside", "SELECT * FROM [a\"b]", "SELECT * FROM \"a\"\"b\"");
        row("string keeps brackets", "SELECT '[x]' FROM [t]", "SELECT '[x]' FROM \"t\"");
        row("comment keeps brackets", "SELECT 1 /* [x] */", "SELECT 1 /* [x] */");
        row("a single closing bracket ends the name", "SELECT * FROM [a]b]",
            "SELECT * FROM \"a\"b]");
        row("doubled closing bracket", "SELECT * FROM [odd]]name]", "SELECT * FROM \"odd]name\"",
            "SELECT * FROM \"odd]name\"");
        row("both at once", "SELECT [a\"b]]] FROM t", "SELECT \"a\"\"b]\" FROM t",
            "SELECT \"a\"\"b]\" FROM t");
        row("a name that holds SQL stays one name",
            "SELECT * FROM [t]], setval('victim_seq', 1) AS [s]",
            "SELECT * FROM \"t], setval('victim_seq', 1) AS [s\"",
            "SELECT * FROM \"t], setval('victim_seq', 1) AS [s\"");
        row("keywords before brackets", "SELECT[Name]FROM[t]", "SELECT\"Name\"FROM\"t\"");
        row("array constructor", "SELECT ARRAY[1,2], array [3]", "SELECT ARRAY[1,2], array [3]");
        row("array type", "SELECT '{}'::int[], '{}'::text []", "SELECT '{}'::int[], '{}'::text []");
        row("subscripts", "SELECT tags[1], (f(x))[2], m[1][2], [tags][1], \"t\"[i] FROM [t]",
            "SELECT tags[1], (f(x))[2], m[1][2], \"tags\"[1], \"t\"[i] FROM \"t\"");
    }
    void brackets() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(QString, sqlite);
        QCOMPARE(QString::fromStdString(bracketsToQuotes(in.toStdString())), out);
        QCOMPARE(QString::fromStdString(escapedBracketsToQuotes(in.toStdString())), sqlite);
    }

    void bracketNames() {
        QCOMPARE(bracketName("Order Details"), std::string("[Order Details]"));
        QCOMPARE(bracketName("t], x AS [s"), std::string("[t]], x AS [s]"));
        QCOMPARE(bracketsToQuotes("SELECT * FROM " + bracketName("a]]\"b")),
                 std::string("SELECT * FROM \"a]]\"\"b\""));
    }

    void parameters() {
        const auto mark = [](int n) { return "$" + std::to_string(n); };
        ParsedSql p = parseParameters("SELECT * FROM [Orders]\r\nWHERE \r\nOrders.CustomerID = "
                                      ":CustomerID\r\n AND \r\nOrders.ShipCountry = :Country\r\n",
                                      mark);
        QCOMPARE(p.names, (std::vector<std::string>{"CustomerID", "Country"}));
        QVERIFY(p.text.find("= $1\r\n") != std::string::npos);
        QVERIFY(p.text.find("= $2\r\n") != std::string::npos);

        p = parseParameters("SELECT a::int, ':x', \":y\", [:z] FROM t WHERE b = :b", mark);
        QCOMPARE(p.names, std::vector<std::string>{"b"});
        QCOMPARE(p.text, std::string("SELECT a::int, ':x', \":y\", [:z] FROM t WHERE b = $1"));

        // A name ends at a blank, ',', ';' or ')': "Customer ID" is cut short.
        p = parseParameters("f(:a,:b);x = :Customer ID", mark);
        QCOMPARE(p.names, (std::vector<std::string>{"a", "b", "Customer"}));
        QCOMPARE(p.text, std::string("f($1,$2);x = $3 ID"));

        p = parseParameters("SELECT ':' || a FROM t WHERE x = : ", mark);
        QVERIFY(p.names.empty());
    }

    // Statements end at a ';' that is code: never inside a string, a quoted
    // name, a comment or a dollar-quoted body, never at a blank line; "$1"
    // and "$name" open no body.
    void statementsSplitWhereTheEngineDoes_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<int>("family");
        const auto row = [](const char* name, const char* sql, QStringList statements,
                            SqlFamily family = SqlFamily::Standard) {
            QTest::newRow(name) << QString::fromUtf8(sql) << statements << int(family);
        };
        row("two", "SELECT 1;\n  SELECT 2 ;", {"SELECT 1", "SELECT 2"});
        row("blank line", "UPDATE t SET a = 1\n\nWHERE b = 2",
            {"UPDATE t SET a = 1\n\nWHERE b = 2"});
        row("string and name", "SELECT ';', \"a;b\", [c;d], `e;f`; x",
            {"SELECT ';', \"a;b\", [c;d], `e;f`", "x"});
        row("comments", "SELECT 1 -- no; end\n; /* ; */ SELECT 2", {"SELECT 1", "SELECT 2"});
        row("dollar body",
            "CREATE FUNCTION f() RETURNS int AS $$ BEGIN RETURN 1; END; $$ LANGUAGE plpgsql; "
            "SELECT f()",
            {"CREATE FUNCTION f() RETURNS int AS $$ BEGIN RETURN 1; END; $$ LANGUAGE plpgsql",
             "SELECT f()"});
        row("tagged body", "DO $x$ SELECT '$$;'; $x$; SELECT $1; SELECT $a;",
            {"DO $x$ SELECT '$$;'; $x$", "SELECT $1", "SELECT $a"});
        row("empty ones", " ; ;\n", {});
        row("MariaDB strings", "SELECT \"a;b\", 'it\\'s;' # c;\n; SELECT 2",
            {"SELECT \"a;b\", 'it\\'s;'", "SELECT 2"}, SqlFamily::MySql);
        row("backslash elsewhere", "SELECT 'a\\'; SELECT 2", {"SELECT 'a\\'", "SELECT 2"});
        row("GO lines", "SELECT 1\n  go \nSELECT 2\nGO\nSELECT 'GO'\nSELECT go_on",
            {"SELECT 1", "SELECT 2", "SELECT 'GO'\nSELECT go_on"}, SqlFamily::SqlServer);
        row("GO elsewhere", "SELECT 1\nGO\nSELECT 2", {"SELECT 1\nGO\nSELECT 2"});
    }
    void statementsSplitWhereTheEngineDoes() {
        QFETCH(QString, sql);
        QFETCH(QStringList, statements);
        QFETCH(int, family);
        const std::string text = sql.toStdString();
        QStringList found;
        for (const StatementSpan& span : splitStatements(text, SqlFamily(family))) {
            found << QString::fromStdString(text.substr(span.begin, span.end - span.begin));
        }
        QCOMPARE(found, statements);
    }

    // The statement under the caret: inside it, after its ';' on its line
    // (a comment may follow), the next one in the blank lines between.
    void statementUnderTheCaret() {
        const std::string text = "SELECT 1; -- one\n\nSELECT 2;\n";
        const auto at = [&](std::size_t caret) {
            const StatementSpan span = statementAt(text, caret);
            return text.substr(span.begin, span.end - span.begin);
        };
        QCOMPARE(at(0), std::string("SELECT 1"));
        QCOMPARE(at(9), std::string("SELECT 1"));
        QCOMPARE(at(16), std::string("SELECT 1"));
        QCOMPARE(at(17), std::string("SELECT 2"));
        QCOMPARE(at(text.size()), std::string("SELECT 2"));
        QCOMPARE(at(3), std::string("SELECT 1"));
        QCOMPARE(statementAt(" \n", 1).end, std::size_t(0));
    }

    // The table an UPDATE or DELETE changes in whole: a WHERE counts only at
    // the statement's own level, never in a subquery, string or comment.
    void wholeTableChanges_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("table"); // empty: not a whole-table change
        QTest::newRow("update") << "UPDATE Track SET Price = 1"
                                << "Track";
        QTest::newRow("delete, qualified") << "delete from main.[Order Lines]"
                                           << "main.Order Lines";
        QTest::newRow("where in a subquery") << "UPDATE t SET a = (SELECT b FROM u WHERE u.id = 1)"
                                             << "t";
        QTest::newRow("where in a string") << "UPDATE t SET a = 'x WHERE y'"
                                           << "t";
        QTest::newRow("where in a comment") << "DELETE FROM \"t\" -- WHERE a = 1"
                                            << "t";
        QTest::newRow("with where") << "UPDATE t SET a = 1\nWHERE b = 2"
                                    << "";
        QTest::newRow("where after a subquery") << "DELETE FROM t WHERE a IN (SELECT 1)"
                                                << "";
        QTest::newRow("select") << "SELECT * FROM t"
                                << "";
    }
    void wholeTableChanges() {
        QFETCH(QString, sql);
        QFETCH(QString, table);
        const std::optional<WholeTableChange> change = wholeTableChange(sql.toStdString());
        QCOMPARE(change ? QString::fromStdString(change->name) : QString(), table);
    }

    // An engine's place for an error, as a byte offset into the text sent.
    void errorPlaces() {
        const std::string sql = "SELECT é\nFROM t\nWHERE a = = 1";
        const auto offset = [&](SqlErrorPlace place) {
            return errorOffset(sql, place).value_or(std::size_t(-1));
        };
        using Unit = SqlErrorPlace::Unit;
        QCOMPARE(offset({Unit::Byte, 4, {}}), std::size_t(4));
        QCOMPARE(offset({Unit::Character, 10, {}}), std::size_t(10)); // "F", after the two-byte é
        QCOMPARE(offset({Unit::Line, 3, "= 1"}), sql.find("= 1"));
        QCOMPARE(offset({Unit::Line, 2, {}}), sql.find("FROM"));
        QCOMPARE(offset({Unit::Line, 9, {}}), std::size_t(-1));
        const std::optional<SqlErrorPlace> place =
            placeInMessage("You have an error in your SQL syntax; check the manual for the right "
                           "syntax to use near '= 1' at line 3");
        QVERIFY(place);
        QCOMPARE(place->value, std::size_t(3));
        QCOMPARE(place->near, std::string("= 1"));
        QVERIFY(!placeInMessage("Table 't' doesn't exist"));
    }

    void tableReferences_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("count");
        QTest::newRow("plain") << "SELECT * FROM [Orders]" << 1;
        QTest::newRow("qualified columns are no references")
            << "SELECT * FROM [Orders]\r\nWHERE \r\nOrders.CustomerID = :CustomerID" << 1;
        QTest::newRow("self-join") << "SELECT a.x FROM Orders a JOIN orders b ON b.x = a.x" << 2;
        QTest::newRow("comma join") << "SELECT * FROM Orders, \"Orders\" o2" << 2;
        QTest::newRow("schema") << "SELECT * FROM main.Orders WHERE 1" << 1;
        QTest::newRow("subquery") << "SELECT * FROM t WHERE x IN (SELECT x FROM Orders)" << 1;
        QTest::newRow("column named like the table") << "SELECT Orders FROM Orders" << 1;
        QTest::newRow("in a string") << "SELECT 'FROM Orders' FROM t" << 0;
        QTest::newRow("another table") << "SELECT * FROM Customers" << 0;
    }
    void tableReferences() {
        QFETCH(QString, sql);
        QFETCH(int, count);
        QCOMPARE(countTableReferences(sql.toStdString(), "Orders"), count);
    }

    void connectionStrings() {
        ConnectionString cs("Provider=SQLOLEDB.1;Data Source=host,5433;initial catalog=db;"
                            "Integrated Security=SSPI;uid=me;pwd=");
        QCOMPARE(cs.value("provider"), std::string("SQLOLEDB.1"));
        QCOMPARE(cs.value("Initial Catalog"), std::string("db"));
        QVERIFY(cs.has("PWD"));
        QCOMPARE(cs.value("pwd"), std::string());
        QVERIFY(!cs.has("Password"));
        ConnectionString path("Data Source=/tmp/a b/ü.db;Jet OLEDB:Database Password=p=q");
        QCOMPARE(path.value("data source"), std::string("/tmp/a b/ü.db"));
        QCOMPARE(path.value("Jet OLEDB:Database Password"), std::string("p=q"));

        // Values holding ';', '=', quotes or outer blanks go in quoted and
        // come back whole; the others go in as they are.
        for (const std::string value : {"ab;cd", "a=b", "\"q\"", "'", " lead", "trail ",
                                        "x;Data Source=127.0.0.1,1", "p w", "/tmp/a b/ü.db", ""}) {
            const std::string written = connectionValue(value);
            const bool plain = value.find_first_of(";=\"' ") == std::string::npos ||
                               value == "p w" || value == "/tmp/a b/ü.db";
            QCOMPARE(written == value, plain);
            const ConnectionString read("Data Source=srv;pwd=" + written + ";uid=u");
            QCOMPARE(read.value("pwd"), value);
            QCOMPARE(read.value("Data Source"), std::string("srv"));
            QCOMPARE(read.value("uid"), std::string("u"));
        }
        QCOMPARE(connectionValue("\"q\""), std::string("\"\"\"q\"\"\""));
        // An unclosed quote is read as written, to the next ';'.
        QCOMPARE(ConnectionString("pwd=\"ab;uid=u").value("pwd"), std::string("\"ab"));
    }
};

QTEST_APPLESS_MAIN(TestDialect)
#include "tst_dialect.moc"
