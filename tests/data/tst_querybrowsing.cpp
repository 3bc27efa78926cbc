#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "tests/support/TestDb.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vdata;

namespace {

std::vector<std::string> column(const Query& q, int col) {
    std::vector<std::string> values;
    for (int r = 0; r < q.recordCount(); ++r) {
        values.push_back(q.cellText(r, col));
    }
    return values;
}

} // namespace

// Sorting, searching and the master link on a snapshot.
class TestQueryBrowsing : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    Connection db;

private slots:
    void initTestCase() {
        const QString path = dir.filePath("browse.db");
        testdb::run(path,
                    "CREATE TABLE Customers(CustomerID TEXT PRIMARY KEY, Name TEXT, Country TEXT,"
                    " Since DATE, Rating INT, Score REAL);"
                    "INSERT INTO Customers VALUES"
                    " ('ALF', 'Alfreds', 'Germany', '2020-01-05', 3, 1.5),"
                    " ('ANA', 'Ana Trujillo', 'Mexico', '2019-03-01', 5, NULL),"
                    " ('BER', 'berglunds', 'Sweden', '2021-07-30', 1, 2.25),"
                    " ('ZAG', 'Čačak Šport', 'Croatia', '2020-01-05', 3, 0.5);"
                    "CREATE TABLE Orders(OrderID INTEGER PRIMARY KEY, CustomerID TEXT,"
                    " ShipCountry TEXT, Amount INT);"
                    "INSERT INTO Orders(CustomerID, ShipCountry, Amount) VALUES"
                    " ('ALF', 'Germany', 10), ('ALF', 'France', 20), ('ALF', 'Germany', 30),"
                    " ('ANA', 'Mexico', 40), ('BER', 'Norway', 50);");
        db.setConnectionString(testdb::jetString(path));
        db.open();
    }

    void sortsByOneColumnAndReadsTheTextBack() {
        Query q(&db);
        q.setSQL("SELECT * FROM Customers");
        q.open();
        QCOMPARE(q.sort(), std::string());
        q.setSort("Name");
        QCOMPARE(q.sort(), std::string("Name"));
        QCOMPARE(column(q, 1),
                 (std::vector<std::string>{"Alfreds", "Ana Trujillo", "berglunds", "Čačak Šport"}));
        q.setSort("Name DESC");
        QCOMPARE(q.sort(), std::string("Name DESC"));
        QCOMPARE(column(q, 1).front(), std::string("Čačak Šport"));
        q.setSort("Rating"); // numbers by value, ties keep the result's order
        QCOMPARE(column(q, 0), (std::vector<std::string>{"BER", "ALF", "ZAG", "ANA"}));
        q.setSort("Score"); // NULL first
        QCOMPARE(column(q, 0).front(), std::string("ANA"));
        QCOMPARE(q.recNo(), 1);
    }

    void unknownSortFieldIsRefusedAndKeepsTheOrder() {
        Query q(&db);
        q.setSQL("SELECT * FROM Customers");
        q.open();
        q.setSort("Country");
        const auto before = column(q, 0);
        QVERIFY_THROWS_EXCEPTION(DataError, q.setSort("Nowhere"));
        QCOMPARE(column(q, 0), before);
        QCOMPARE(q.sort(), std::string("Country"));
    }

    void locatesByBeginningIgnoringCase() {
        Query q(&db);
        q.setSQL("SELECT * FROM Customers");
        q.open();
        int scrolls = 0;
        q.afterScroll = [&](Query&) { ++scrolls; };
        QVERIFY(q.locate("Name", "BERG"));
        QCOMPARE(q.recNo(), 3);
        QCOMPARE(q.fieldByName("Name").asString(), std::string("berglunds"));
        QCOMPARE(scrolls, 1);
        QVERIFY(q.locate("name", "čačak")); // non-ASCII capitals fold too
        QCOMPARE(q.recNo(), 4);
        QVERIFY(!q.locate("Name", "Xavier"));
        QCOMPARE(q.recNo(), 4);         // no match: nothing moves
        QVERIFY(!q.locate("Name", "")); // an empty term matches only an empty value
        Query blanks(&db);              // ANA's country is NULL, ZAG's is empty
        blanks.setSQL("SELECT CustomerID, CASE CustomerID WHEN 'ANA' THEN NULL"
                      " WHEN 'ZAG' THEN '' ELSE Country END AS Country FROM Customers");
        blanks.open();
        QVERIFY(blanks.locate("Country", ""));
        QCOMPARE(blanks.fieldByName("CustomerID").asString(), std::string("ZAG"));
        q.setSort("Name DESC");
        QVERIFY(q.locate("Name", "a")); // the first match in the order shown
        QCOMPARE(q.fieldByName("CustomerID").asString(), std::string("ANA"));
    }

    void locatesIntegersAndDatesByEquality() {
        Query q(&db);
        q.setSQL("SELECT * FROM Customers");
        q.open();
        QVERIFY(q.locate("Rating", "5"));
        QCOMPARE(q.fieldByName("CustomerID").asString(), std::string("ANA"));
        QVERIFY(!q.locate("Rating", "50"));
        QVERIFY(q.locate("Since", "2021-07-30"));
        QCOMPARE(q.recNo(), 3);
        QVERIFY(!q.locate("Since", "2021-07-31"));
        for (const char* bad : {"abc", "5x", ""}) {
            QVERIFY_THROWS_EXCEPTION(DataError, q.locate("Rating", bad));
        }
        for (const char* bad : {"yesterday", "2021-07", "2021-07-30x"}) {
            QVERIFY_THROWS_EXCEPTION(DataError, q.locate("Since", bad));
        }
        QVERIFY_THROWS_EXCEPTION(DataError, q.locate("Nowhere", "x"));
        QCOMPARE(q.recNo(), 3);
    }

    void masterLinkFollowsTheCurrentRow() {
        Query master(&db);
        master.name = "Query";
        DataSource source(&master);
        Query detail(&db);
        detail.name = "QueryChild";
        detail.setDataSource(&source);
        master.setSQL("SELECT * FROM [Customers]");
        detail.setSQL("SELECT * FROM [Orders]\r\nWHERE \r\nOrders.CustomerID = :CustomerID\r\n AND "
                      "\r\nOrders.ShipCountry = :Country\r\n");
        QCOMPARE(detail.parameterNames(), (std::vector<std::string>{"CustomerID", "Country"}));
        std::vector<std::pair<int, int>> counters;
        detail.afterScroll = [&](Query& q) { counters.emplace_back(q.recNo(), q.recordCount()); };
        master.open();
        detail.open();
        QCOMPARE(detail.recordCount(), 2); // ALF in Germany
        master.next();                     // ANA, Mexico
        QCOMPARE(detail.recordCount(), 1);
        master.next(); // BER ships to Norway only: no child rows, yet the counter is told
        QCOMPARE(detail.recordCount(), 0);
        QCOMPARE(counters.back(), std::make_pair(-1, 0));

        master.first();
        detail.append(); // a new child row gets the master's value in the same-named field
        QCOMPARE(detail.fieldByName("CustomerID").asString(), std::string("ALF"));
        QVERIFY(detail.fieldByName("ShipCountry").isNull()); // paired under another name
        detail.fieldByName("ShipCountry").setAsString("Germany");
        detail.post();
        QCOMPARE(detail.recordCount(), 3);

        // A linked field of the master changes: the detail runs again.
        master.fieldByName("Country").setAsString("France");
        master.post();
        QCOMPARE(detail.recordCount(), 1);
        master.fieldByName("Country").setAsString("Germany");
        master.post();
    }

    void emptyMasterGivesParametersNoValue() {
        Query master(&db);
        DataSource source(&master);
        Query detail(&db);
        detail.setDataSource(&source);
        master.setSQL("SELECT * FROM Customers WHERE 1 = 0");
        detail.setSQL("SELECT * FROM Orders WHERE CustomerID = :CustomerID");
        master.open();
        detail.open();
        QCOMPARE(master.recNo(), -1);
        QCOMPARE(detail.recordCount(), 0);
    }

    void fieldsOfAClosedQueryAreGone() {
        Query q(&db);
        q.setSQL("SELECT * FROM Customers");
        q.open();
        std::weak_ptr<Field> name = q.fieldPtr(1);
        q.close();
        QVERIFY(name.expired());
        QCOMPARE(q.recordCount(), 0);
        q.open();
        QVERIFY(name.expired()); // reopening makes new fields
        QCOMPARE(q.fieldCount(), 6);
    }
};

QTEST_APPLESS_MAIN(TestQueryBrowsing)
#include "tst_querybrowsing.moc"
