#include "data/providers/TypeMap.h"
#include "data/service/Command.h"
#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "tests/support/AccessTestData.h"
#include "tests/support/TestDb.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vdata;

Q_DECLARE_METATYPE(vdata::FieldType)

namespace {

std::string accessString(const QString& path, const std::string& password = {}) {
    return testdb::jetString(path, password);
}

std::unique_ptr<Query> opened(Connection& c, const std::string& sql) {
    auto q = std::make_unique<Query>(&c);
    q->setSQL(sql);
    q->open();
    return q;
}

// Opens the file, lists its tables and reads each one: what a user does
// first. The first failure's message, or empty when all of it works.
std::string browseError(const QString& path) {
    return testdb::errorOf([&] {
        Connection c;
        c.setConnectionString(accessString(path));
        c.open();
        for (const std::string& table : c.tableNames()) {
            opened(c, "SELECT * FROM [" + table + "]");
        }
    });
}

using accessdata::readAll;
using accessdata::writeAll;

} // namespace

// The Access engine on the real test files: tables, values and types, the
// refusal of every change, damaged files and database passwords. No test
// may change a byte of the files.
class TestAccess : public QObject {
    Q_OBJECT
    AccessTestData files;
    QTemporaryDir dir;

    QString nwind() const { return AccessTestData::file("nwind.mdb"); }

private slots:
    void init() { SKIP_WITHOUT_ACCESS_FILES(); }
    void cleanup() { QCOMPARE(files.changed(), QStringList()); }

    void tablesInCatalogueOrderWithRowCounts_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("Access 97")
            << "nwind.mdb"
            << QStringList{"Order Details", "Orders",    "Products",  "Shippers", "Categories",
                           "Customers",     "Employees", "Suppliers", "Umsätze"}
            << QList<int>{2155, 830, 77, 3, 8, 91, 9, 29, 830};
        QTest::newRow("Access 2000")
            << "DateTestDatabase.mdb" << QStringList{"DateTest"} << QList<int>{6};
        QTest::newRow("Access 2007")
            << "ASampleDatabase.accdb" << QStringList{"Asset Items"} << QList<int>{65};
    }
    void tablesInCatalogueOrderWithRowCounts() {
        QFETCH(QString, file);
        QFETCH(QStringList, tables);
        QFETCH(QList<int>, rows);
        Connection c;
        c.setConnectionString(accessString(AccessTestData::file(file)));
        QStringList names;
        for (const std::string& t : c.tableNames()) {
            names << QString::fromStdString(t);
        }
        QCOMPARE(names, tables);
        for (int i = 0; i < tables.size(); ++i) {
            const auto q = opened(c, "SELECT * FROM [" + tables[i].toStdString() + "]");
            QCOMPARE(q->recordCount(), rows[i]);
        }
    }

    // Each Access type arrives as its field type with its value as stored;
    // dates are decoded from the day count for every year Access holds.
    void valuesAndTypes_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("column");
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<QString>("text");
        const QString dates = "DateTestDatabase.mdb";
        const QString asset = "SELECT * FROM [Asset Items] WHERE [Asset No] = '30050'";
        const auto row = [](const char* name, const QString& file, const QString& sql,
                            const char* column, FieldType type, const QString& text) {
            QTest::newRow(name) << file << sql << column << type << text;
        };
        const QString order = "SELECT * FROM Orders WHERE OrderID = 10330";
        row("Long Integer", "nwind.mdb", order, "EmployeeID", FieldType::Integer, "3");
        row("AutoNumber", "nwind.mdb", order, "OrderID", FieldType::AutoInc, "10330");
        row("Text", "nwind.mdb", order, "ShipAddress", FieldType::WideString,
            "Carrera 52 con Ave. Bolívar #65-98 Llano Largo");
        row("Date/Time", "nwind.mdb", order, "OrderDate", FieldType::DateTime,
            "1994-11-16 00:00:00");
        row("Currency", "nwind.mdb", order, "Freight", FieldType::Decimal, "12.75");
        row("Integer", "nwind.mdb", "SELECT * FROM Products WHERE ProductID = 2", "UnitsOnOrder",
            FieldType::SmallInt, "40");
        row("Yes/No", "nwind.mdb", "SELECT * FROM Products WHERE ProductID = 5", "Discontinued",
            FieldType::Boolean, "1");
        row("Single", "nwind.mdb", "SELECT * FROM [Order Details] WHERE OrderID = 10260",
            "Discount", FieldType::Float, "0.25");
        row("Memo", "nwind.mdb", "SELECT * FROM Suppliers WHERE SupplierID = 2", "HomePage",
            FieldType::Memo, "#CAJUN.HTM#");
        row("OLE Object", "nwind.mdb", "SELECT length(Photo) AS n, * FROM Employees", "Photo",
            FieldType::Bytes, QString());
        row("umlaut table", "nwind.mdb", "SELECT * FROM [Umsätze] WHERE OrderID = 10331",
            "CustomerID", FieldType::WideString, "BONAP");
        row("year 9999", dates, "SELECT * FROM DateTest WHERE IDCol = 2", "DateTimeCol",
            FieldType::DateTime, "9999-01-01 00:00:00");
        row("before 1899", dates, "SELECT * FROM DateTest WHERE IDCol = 3", "DateTimeCol",
            FieldType::DateTime, "1898-01-01 00:00:00");
        row("1899", dates, "SELECT * FROM DateTest WHERE IDCol = 3", "DateCol", FieldType::DateTime,
            "1899-01-01 00:00:00");
        row("before 1000", dates, "SELECT * FROM DateTest WHERE IDCol = 4", "DateTimeCol",
            FieldType::DateTime, "0632-01-01 00:00:00");
        row("line breaks", dates, "SELECT * FROM DateTest WHERE IDCol = 6", "LongTextCol",
            FieldType::Memo, "New line\r\nin field");
        row("Access 2007 currency", "ASampleDatabase.accdb", asset, "Cost", FieldType::Decimal,
            "1995.50");
        row("Access 2007 date", "ASampleDatabase.accdb", asset, "Acquired", FieldType::DateTime,
            "1997-09-02 00:00:00");
    }
    void valuesAndTypes() {
        QFETCH(QString, file);
        QFETCH(QString, sql);
        QFETCH(QString, column);
        QFETCH(FieldType, type);
        QFETCH(QString, text);
        Connection c;
        c.setConnectionString(accessString(AccessTestData::file(file)));
        c.open();
        const auto q = opened(c, sql.toStdString());
        QVERIFY(q->recordCount() > 0);
        const Field& f = q->fieldByName(column.toStdString());
        QCOMPARE(fieldTypeName(f.dataType()), fieldTypeName(type));
        if (type == FieldType::Bytes) { // every photo is read whole
            for (int r = 0; r < q->recordCount(); ++r) {
                QVERIFY(q->cell(r, 0).i > 1000);
                QCOMPARE(q->cellBytes(r, f.index()).size(), std::size_t(q->cell(r, 0).i));
            }
            return;
        }
        QCOMPARE(QString::fromStdString(q->shownText(0, f.index())), text);
    }

    // Nothing is written: results refuse edits at once, and statements that
    // would change data or schema are refused before they run.
    void refusesEveryChange_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("update") << "UPDATE Customers SET City = 'x'";
        QTest::newRow("insert") << "INSERT INTO Shippers (CompanyName) VALUES ('x')";
        QTest::newRow("delete") << "DELETE FROM [Order Details]";
        QTest::newRow("create") << "CREATE TABLE t (x INT)";
        QTest::newRow("drop") << "DROP TABLE Orders";
        QTest::newRow("after a query") << "SELECT 1; DELETE FROM Orders";
    }
    void refusesEveryChange() {
        QFETCH(QString, sql);
        const QString reason = "Access files are opened read-only.";
        Connection c;
        c.setConnectionString(accessString(nwind()));
        c.open();
        Command command(&c);
        command.setCommandText(sql.toStdString());
        const auto error = testdb::failureOf([&] { command.execute(); });
        QVERIFY(error);
        QCOMPARE(QString::fromUtf8(error->what()), reason);
        QCOMPARE(error->kind(), ErrorKind::ReadOnly);
        const auto q = opened(c, "SELECT * FROM Orders");
        QCOMPARE(q->recordCount(), 830); // nothing ran
        QVERIFY(!q->canModify());
        QCOMPARE(QString::fromStdString(q->readOnlyReason()), reason);
    }

    // Broken files give a clear message, never a crash.
    void brokenFilesFailClearly_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("0 bytes") << "empty"
                                 << "is empty (0 bytes)";
        QTest::newRow("truncated") << "truncated"
                                   << "is cut short";
        QTest::newRow("truncated at a page") << "pages"
                                             << "can be read; the file is damaged";
        QTest::newRow("damaged catalogue") << "catalogue"
                                           << "the file is damaged";
    }
    void brokenFilesFailClearly() {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QByteArray bytes = readAll(nwind());
        if (damage == "empty") {
            bytes.clear();
        } else if (damage == "truncated") {
            bytes.truncate(3 * 2048 + 100);
        } else if (damage == "pages") {
            bytes.truncate(40 * 2048);
        } else { // the catalogue's table definition (page 2) overwritten
            for (int i = 2 * 2048 + 8; i < 3 * 2048; ++i) {
                bytes[i] = static_cast<char>(i * 7919 % 251);
            }
        }
        const QString path = dir.filePath(damage + ".mdb");
        writeAll(path, bytes);
        const QString error = QString::fromStdString(browseError(path));
        QVERIFY2(error.contains(message), qPrintable(error));
    }

    // A file with a database password opens with that password only; a
    // password given for a file without one is ignored.
    void databasePassword_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("Access 97") << "nwind.mdb";
        QTest::newRow("Access 2000") << "DateTestDatabase.mdb";
    }
    void databasePassword() {
        QFETCH(QString, file);
        const QString copy = dir.filePath("protected-" + file);
        accessdata::writePasswordCopy(AccessTestData::file(file), copy, QStringLiteral("Gehëim"));
        const auto openWith = [&](const std::string& password) {
            return testdb::errorOf([&] {
                Connection c;
                c.setConnectionString(accessString(copy, password));
                c.open();
                QVERIFY(!c.tableNames().empty());
            });
        };
        QCOMPARE(openWith(""), std::string("Not a valid password."));
        QCOMPARE(openWith("geheim"), std::string("Not a valid password."));
        QCOMPARE(openWith("Gehëim"), std::string());
        Connection plain;
        plain.setConnectionString(accessString(AccessTestData::file(file), "anything"));
        QVERIFY(!plain.tableNames().empty());
    }
};

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"
