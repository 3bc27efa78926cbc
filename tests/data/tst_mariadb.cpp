// The native MariaDB engine's values and messages: each column type read
// from a table comes with its field type and its value as stored, and a
// syntax error names its place.

#include "tests/support/MariaDbTestEnv.h"
#include "tests/support/TestDb.h"

#include "data/service/Connection.h"
#include "data/service/Errors.h"
#include "data/service/FieldType.h"
#include "data/service/Query.h"

#include <QtTest>

using namespace vdata;

class TestMariaDb : public QObject {
    Q_OBJECT

    std::unique_ptr<mariadbtest::ScratchDatabase> db_;
    Connection conn_;

private slots:
    // The emoji goes in as its bytes: the admin client's character set
    // cannot carry it.
    void initTestCase() {
        if (!mariadbtest::testServer()) {
            QSKIP("No MariaDB test server: VELDMARK_MARIADB_SOCKET is not set");
        }
        db_ = std::make_unique<mariadbtest::ScratchDatabase>("types");
        db_->exec(R"sql(
CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, ti TINYINT, si SMALLINT UNSIGNED,
  bi BIGINT, ub BIGINT UNSIGNED, f FLOAT, d DOUBLE, dec65 DECIMAL(65,30), money DECIMAL(9,2),
  dt DATE, zero DATE, dtm DATETIME(3), ts TIMESTAMP(6) NULL, tm TIME(2), yr YEAR,
  b1 BIT(1), b12 BIT(12), vc VARCHAR(20), txt TEXT, js JSON, vb VARBINARY(4),
  en ENUM('small', 'large'), nul INT);
INSERT INTO t VALUES (NULL, -7, 65535, 9007199254740993, 18446744073709551615, 0.1, 0.1,
  '-12345678901234567890123456789012345.000000000000000000000000000001', 12.5,
  '2024-02-29', '0000-00-00', '2024-02-29 13:14:15.250', '2024-02-29 13:14:15.000001',
  '-838:59:59.5', 2024, b'1', b'101010101010', CONCAT('Grüße ', CONVERT(x'F09F9880' USING utf8mb4)), 'long', '{"a": 1}', x'00ff41',
  'large', NULL);
)sql");
        conn_.setConnectionString(db_->connectionString());
        conn_.open();
    }

    void typesFromTheBinaryProtocol_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* column, FieldType t, Value::Kind k, const char* text) {
            QTest::newRow(column) << column << int(t) << int(k) << QString::fromUtf8(text);
        };
        using K = Value::Kind;
        row("id", FieldType::AutoInc, K::Int, "1");
        row("ti", FieldType::SmallInt, K::Int, "-7");
        row("si", FieldType::SmallInt, K::Int, "65535");
        row("bi", FieldType::LargeInt, K::Int, "9007199254740993");
        row("ub", FieldType::LargeInt, K::Text, "18446744073709551615");
        row("f", FieldType::Float, K::Real, "0.1");
        row("d", FieldType::Float, K::Real, "0.1");
        row("dec65", FieldType::Decimal, K::Text,
            "-12345678901234567890123456789012345.000000000000000000000000000001");
        row("money", FieldType::Decimal, K::Text, "12.50");
        row("dt", FieldType::Date, K::Text, "2024-02-29");
        row("zero", FieldType::Date, K::Text, "0000-00-00");
        row("dtm", FieldType::DateTime, K::Text, "2024-02-29 13:14:15.250");
        row("ts", FieldType::DateTime, K::Text, "2024-02-29 13:14:15.000001");
        row("tm", FieldType::Time, K::Text, "-838:59:59.50");
        row("yr", FieldType::SmallInt, K::Int, "2024");
        row("b1", FieldType::Boolean, K::Int, "1");
        row("b12", FieldType::LargeInt, K::Int, "2730");
        row("vc", FieldType::WideString, K::Text, "Grüße 😀");
        row("txt", FieldType::Memo, K::Text, "long");
        row("js", FieldType::Memo, K::Text, "{\"a\": 1}");
        row("vb", FieldType::Bytes, K::Blob, "00ff41"); // hex of the bytes
        row("en", FieldType::WideString, K::Text, "large");
        row("nul", FieldType::Integer, K::Null, "");
    }
    void typesFromTheBinaryProtocol() {
        QFETCH(QString, column);
        QFETCH(int, type);
        QFETCH(int, kind);
        QFETCH(QString, text);
        Query q(&conn_);
        q.setSQL("SELECT [" + column.toStdString() + "] FROM t");
        q.open();
        QCOMPARE(fieldTypeName(q.field(0).dataType()), fieldTypeName(FieldType(type)));
        const Value v = q.field(0).value();
        QCOMPARE(int(v.kind), kind);
        if (v.kind == Value::Kind::Blob) {
            QCOMPARE(QByteArray::fromStdString(v.s).toHex(), text.toLatin1());
        } else {
            QCOMPARE(QString::fromStdString(v.toText()), text);
        }
    }

    // A FLOAT read as it prints is found again when its row is saved,
    // though the server compares it in single precision.
    void aFloatIsFoundAgainWhenSaved() {
        db_->exec("CREATE TABLE fl (id INT PRIMARY KEY, f FLOAT, g DOUBLE);"
                  "INSERT INTO fl VALUES (1, 0.1, 0.1)");
        Query q(&conn_);
        q.setSQL("SELECT * FROM fl");
        q.open();
        q.fieldByName("f").setAsString("0.25");
        q.fieldByName("g").setAsString("0.5");
        q.post();
        QCOMPARE(mariadbtest::adminQuery(db_->name(), "SELECT f, g FROM fl"),
                 (std::vector<std::vector<std::string>>{{"0.25", "0.5"}}));
    }

    // The server's own message, and the line it names.
    void aSyntaxErrorNamesItsLine() {
        Query q(&conn_);
        q.setSQL("SELECT 1,\n2 FROM t\nWHERE WHERE");
        const std::optional<DataError> failed = testdb::failureOf([&] { q.open(); });
        QVERIFY(failed);
        QVERIFY2(QString(failed->what()).contains("You have an error in your SQL syntax"),
                 failed->what());
        QVERIFY(failed->place());
        QCOMPARE(failed->place()->unit, SqlErrorPlace::Unit::Line);
        QCOMPARE(failed->place()->value, std::size_t(3));
    }
};

QTEST_GUILESS_MAIN(TestMariaDb)
#include "tst_mariadb.moc"
