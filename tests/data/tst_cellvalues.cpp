// Values as a user types, reads and sorts them, the same on an SQLite file and
// on the PostgreSQL test server: typed dates and times, title-click order of
// text and numbers, and the text of floating-point numbers.
#include "tests/support/PgTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "data/service/TextFold.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace vdata;

namespace {

// Runs on both engines; only the types the two share.
constexpr const char* kSchema = R"(
    CREATE TABLE words (id INT PRIMARY KEY, w TEXT);
    INSERT INTO words VALUES (1, 'zoe'), (2, 'bob'), (3, 'Émile'), (4, 'Zack'), (5, 'ärger'),
                             (6, 'Bob'), (7, 'anna'), (8, 'Ångström'), (9, NULL),
                             (10, 'strasse'), (11, 'Straße');
    CREATE TABLE amounts (id INT PRIMARY KEY, price NUMERIC(10,2), fee MONEY, big BIGINT);
    INSERT INTO amounts VALUES (1, 1234.50, 1234.50, 9007199254740993),
                               (2, 2.50, 2.50, 9007199254740992),
                               (3, 30.00, 30.00, -5),
                               (4, 9.99, 9.99, 9007199254740994),
                               (5, NULL, NULL, NULL),
                               (6, -0.50, -0.50, 0);
    CREATE TABLE moments (id INT PRIMARY KEY, d DATE, dt TIMESTAMP, t TIME);
    INSERT INTO moments VALUES (1, '2000-01-01', '2000-01-01 08:00:00', '08:00:00');
    CREATE TABLE floats (id INT PRIMARY KEY, f DOUBLE PRECISION);
    INSERT INTO floats VALUES (1, CAST(0.1 AS DOUBLE PRECISION) + CAST(0.2 AS DOUBLE PRECISION)),
                              (2, CAST(3.5 AS DOUBLE PRECISION) * CAST(1.1 AS DOUBLE PRECISION));
)";

QStringList engines() {
    QStringList names{"sqlite"};
    if (pgtest::testServer() != nullptr) {
        names << "postgres";
    }
    return names;
}

using testdb::errorOf;

} // namespace

class TestCellValues : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<pgtest::ScratchDatabase> pg_;
    Connection sqlite_;
    Connection sqliteOther_; // reads back what the program wrote
    Connection postgres_;

    Connection& connection(const QString& engine) {
        return engine == "sqlite" ? sqlite_ : postgres_;
    }

    std::unique_ptr<Query> open(const QString& engine, const std::string& sql) {
        auto q = std::make_unique<Query>(&connection(engine));
        q->setSQL(sql);
        q->open();
        return q;
    }

    // The first cell of `sql`, read through another connection.
    std::string readBack(const QString& engine, const std::string& sql) {
        if (engine == "postgres") {
            return pg_->query(sql).at(0).at(0);
        }
        Query q(&sqliteOther_);
        q.setSQL(sql);
        q.open();
        return q.field(0).asString();
    }

private slots:
    void initTestCase() {
        const QString path = dir.filePath("values.db");
        testdb::run(path, kSchema);
        sqlite_.setConnectionString(testdb::jetString(path));
        sqlite_.open();
        sqliteOther_.setConnectionString(testdb::jetString(path));
        sqliteOther_.open();
        if (pgtest::testServer() != nullptr) {
            pg_ = std::make_unique<pgtest::ScratchDatabase>("values");
            pg_->exec(kSchema);
            postgres_.setConnectionString(pg_->connectionString());
            postgres_.open();
        }
    }

    void cleanupTestCase() {
        postgres_.close();
        pg_.reset();
    }

    void titleClickSortOrder_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected"); // the column's text in display order
        for (const QString& e : engines()) {
            const auto row = [&](const char* tag, const char* sql, const char* sort, int column,
                                 const char* expected) {
                QTest::addRow("%s: %s", qPrintable(e), tag)
                    << e << sql << sort << column << QString::fromUtf8(expected);
            };
            // Letter case and accents aside first, then the exact text.
            row("text", "SELECT id, w FROM words", "w", 1,
                "|Ångström|anna|ärger|Bob|bob|Émile|Straße|strasse|Zack|zoe");
            row("text descending", "SELECT id, w FROM words", "w DESC", 1,
                "zoe|Zack|strasse|Straße|Émile|bob|Bob|ärger|anna|Ångström|");
            row("long text", // alike beyond their first sixteen letters
                "SELECT 'Överall Customer Émile' AS w UNION ALL SELECT 'overall customer anna'"
                " UNION ALL SELECT 'Overall Customer Anna' UNION ALL SELECT 'Overall Customer Zoe'",
                "w", 0,
                "Overall Customer Anna|overall customer anna|Överall Customer Émile|"
                "Overall Customer Zoe");
            row("decimal", "SELECT id, price FROM amounts", "price", 0, "5|6|2|4|3|1");
            row("decimal descending", "SELECT id, price FROM amounts", "price DESC", 0,
                "1|3|4|2|6|5");
            row("money", "SELECT id, fee FROM amounts", "fee", 0, "5|6|2|4|3|1");
            row("64-bit integer", "SELECT id, big FROM amounts", "big", 0, "5|3|6|2|1|4");
            row("integer beside a real", // all three are the same double
                "SELECT 1 AS id, 9007199254740993 AS n UNION ALL SELECT 2, 9007199254740992.0"
                " UNION ALL SELECT 3, 9007199254740991",
                "n", 0, "3|2|1");
        }
        if (engines().contains("postgres")) { // all four are the same double
            QTest::addRow("postgres: decimals beyond a double")
                << "postgres"
                << "SELECT * FROM (VALUES (1, 10.0000000000000000001), (2, 10),"
                   " (3, 9.99999999999999999999), (4, 9.9999999999999999999)) AS v(id, n)"
                << "n" << 0 << "4|3|2|1";
        }
    }

    void titleClickSortOrder() {
        QFETCH(QString, engine);
        QFETCH(QString, sql);
        QFETCH(QString, sort);
        QFETCH(int, column);
        QFETCH(QString, expected);
        auto q = open(engine, sql.toStdString());
        q->setSort(sort.toStdString());
        QStringList shown;
        for (int r = 0; r < q->recordCount(); ++r) {
            shown << QString::fromStdString(q->cellText(r, column));
        }
        QCOMPARE(shown.join('|'), expected);
    }

    // Enough rows that the sort spreads them by their first folded bytes
    // before it compares whole values: each way, the order must be that of
    // comparing the values pair by pair (NULL, numbers, then text in reading
    // order and then exact text), equal values in the order read.
    void manyRowsInPairwiseOrder_data() {
        QTest::addColumn<QString>("value"); // of i = 0 .. 1999
        QTest::newRow("alike in the first sixteen letters")
            << "'Overall Customer ' || substr('aAäÄåÅbB', i % 8 + 1, 1) || (i * 7919 % 97)";
        QTest::newRow("alike in more than the first sixteen")
            << "substr('aAäÄåÅbB', i % 8 + 1, 1) || 'verall Customer ' || (i * 7919 % 97)";
        QTest::newRow("case and accents")
            << "substr('aAàÀäÄeEéÉoOöÖßsS', i % 17 + 1, 1) || substr('sSzZ', i / 17 % 4 + 1, 1)";
        QTest::newRow("empty and NULL among numbers")
            << "CASE i % 5 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN i % 7 - 3"
               " WHEN 3 THEN i % 7 - 2.5 ELSE 'n' || i % 11 END";
    }

    void manyRowsInPairwiseOrder() {
        QFETCH(QString, value);
        auto q = open("sqlite", "WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM c"
                                " LIMIT 2000) SELECT i, v, typeof(v) FROM (SELECT i, " +
                                    value.toStdString() + " AS v FROM c)");
        q->readAll();
        struct Shown {
            std::string id, v, type;
        };
        std::vector<Shown> read;
        for (int r = 0; r < q->recordCount(); ++r) {
            read.push_back({q->cellText(r, 0), q->cellText(r, 1), q->cellText(r, 2)});
        }
        const auto compare = [](const Shown& a, const Shown& b) {
            const auto rank = [](const Shown& s) {
                return s.type == "null" ? 0 : 1 + (s.type == "text");
            };
            if (rank(a) != rank(b) || rank(a) == 0) {
                return rank(a) - rank(b);
            }
            if (rank(a) == 1) {
                return std::stod(a.v) < std::stod(b.v) ? -1 : std::stod(b.v) < std::stod(a.v);
            }
            const int c = compareCollated(a.v, b.v);
            return c != 0 ? c : a.v.compare(b.v);
        };
        for (const bool descending : {false, true}) {
            std::vector<Shown> expected = read;
            std::ranges::stable_sort(expected, [&](const Shown& a, const Shown& b) {
                return (descending ? compare(b, a) : compare(a, b)) < 0;
            });
            q->setSort(descending ? "v DESC" : "v");
            for (int r = 0; r < q->recordCount(); ++r) {
                QCOMPARE(q->cellText(r, 0), expected[static_cast<std::size_t>(r)].id);
            }
        }
    }

    // A decimal shows the digits its column declares after the point, as
    // the server shows a numeric; SQLite keeps 30.00 as 30 and 2.50 as 2.5.
    void decimalsShowTheirScale() {
        for (const QString& e : engines()) {
            auto q = open(e, "SELECT price, fee FROM amounts ORDER BY id");
            const int columns = e == "sqlite" ? 2 : 1; // a server's money has its own form
            for (int c = 0; c < columns; ++c) {
                QStringList shown;
                for (int r = 0; r < q->recordCount(); ++r) {
                    shown << QString::fromStdString(q->shownText(r, c));
                }
                QCOMPARE(shown.join('|'), QStringLiteral("1234.50|2.50|30.00|9.99||-0.50"));
            }
        }
    }

    void typedDatesAndTimes_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal"); // empty when the text is taken
        QTest::addColumn<QString>("stored");
        const QString date = "is not a valid date. Use the form yyyy-MM-dd.";
        const QString dateTime = "is not a valid date and time. Use the form yyyy-MM-dd HH:mm:ss.";
        const QString time = "is not a valid time. Use the form HH:mm:ss.";
        for (const QString& e : engines()) {
            const auto row = [&](const char* tag, const char* field, const char* typed,
                                 const QString& refusal, const char* stored = nullptr) {
                QTest::addRow("%s: %s", qPrintable(e), tag)
                    << e << field << typed
                    << (refusal.isEmpty() ? refusal : "'" + QString(typed) + "' " + refusal)
                    << QString(stored ? stored : typed);
            };
            row("date", "d", "1999-12-31", {});
            row("leap day", "d", "2024-02-29", {});
            row("day first", "d", "31/12/1999", date);
            row("a word", "d", "tomorrow", date);
            row("no such day", "d", "2023-02-30", date);
            row("no leap year", "d", "2023-02-29", date);
            row("date with a time", "d", "1999-12-31 10:00:00", date);
            row("date-time", "dt", "2024-02-29 13:14:15", {});
            row("date-time with T", "dt", "2024-02-29T13:14:15", dateTime);
            row("date-time hour 24", "dt", "2024-02-29 24:00:00", dateTime);
            row("date-time, date alone is midnight", "dt", "2024-02-29", {}, "2024-02-29 00:00:00");
            row("date-time, impossible date alone", "dt", "2023-02-29", dateTime);
            row("time", "t", "23:59:59", {});
            row("time with am/pm", "t", "1:14 pm", time);
            row("time minute 60", "t", "12:60:00", time);
            row("time without seconds", "t", "12:30", time);
        }
    }

    // A typed text that is no date is refused before anything is written;
    // the record keeps what it held.
    void typedDatesAndTimes() {
        QFETCH(QString, engine);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        QFETCH(QString, stored);
        const std::string column = field.toStdString();
        auto q = open(engine, "SELECT * FROM moments");
        const std::string before = q->fieldByName(column).asString();
        const std::string message =
            errorOf([&] { q->fieldByName(column).setAsString(typed.toStdString()); });
        QCOMPARE(QString::fromStdString(message), refusal);
        if (refusal.isEmpty()) {
            q->post();
            QCOMPARE(QString::fromStdString(readBack(engine, "SELECT " + column + " FROM moments")),
                     stored);
        } else {
            QCOMPARE(q->state(), DataSetState::Browse);
            QCOMPARE(q->fieldByName(column).asString(), before);
            QCOMPARE(readBack(engine, "SELECT " + column + " FROM moments"), before);
        }
    }

    void floatingPointText_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("shown");
        for (const QString& e : engines()) {
            const auto row = [&](const char* tag, const char* sql, const char* shown) {
                QTest::addRow("%s: %s", qPrintable(e), tag) << e << sql << shown;
            };
            row("stored sum", "SELECT f FROM floats WHERE id = 1", "0.30000000000000004");
            row("stored product", "SELECT f FROM floats WHERE id = 2", "3.8500000000000005");
            row("whole number", "SELECT f * 0 + 12 FROM floats WHERE id = 1", "12");
        }
        QTest::addRow("sqlite: rounded") << "sqlite"
                                         << "SELECT round(f, 2) FROM floats WHERE id = 2"
                                         << "3.85";
        if (engines().contains("postgres")) {
            QTest::addRow("postgres: rounded")
                << "postgres"
                << "SELECT round(f::numeric, 2)::float8 FROM floats WHERE id = 2"
                << "3.85";
        }
    }

    // Each value in the shortest text that reads back to the same value.
    void floatingPointText() {
        QFETCH(QString, engine);
        QFETCH(QString, sql);
        QFETCH(QString, shown);
        QCOMPARE(QString::fromStdString(open(engine, sql.toStdString())->field(0).asString()),
                 shown);
    }

    void floatingPointWriteBack_data() {
        QTest::addColumn<QString>("engine");
        for (const QString& e : engines()) {
            QTest::newRow(qPrintable(e)) << e;
        }
    }

    // A float read as 0.30000000000000004 is found again when it is changed.
    void floatingPointWriteBack() {
        QFETCH(QString, engine);
        auto q = open(engine, "SELECT * FROM floats ORDER BY id");
        q->fieldByName("f").setAsString("0.75");
        q->post();
        QCOMPARE(readBack(engine, "SELECT f FROM floats WHERE id = 1"), std::string("0.75"));
        q->fieldByName("f").setAsString("0.30000000000000004");
        q->post();
        QCOMPARE(readBack(engine,
                          "SELECT count(*) FROM floats WHERE f = CAST(0.1 AS DOUBLE PRECISION) +"
                          " CAST(0.2 AS DOUBLE PRECISION)"),
                 std::string("1"));
    }
};

QTEST_GUILESS_MAIN(TestCellValues)
#include "tst_cellvalues.moc"
