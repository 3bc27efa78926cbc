#include "data/service/Snapshot.h"

#include <QtTest>

#include <cstring>
#include <fstream>
#include <limits>

#include <unistd.h>

using namespace vdata;

Q_DECLARE_METATYPE(std::vector<vdata::Value>)

// The compact row store: kinds kept once per uniform column, each column in
// the narrowest encoding that holds its values.
class TestSnapshot : public QObject {
    Q_OBJECT
private slots:
    void keepsEveryKindAndValue() {
        Snapshot s(2);
        const std::string big(3 << 20, 'x'); // larger than a block
        const std::vector<std::vector<Value>> rows{
            {Value::integer(-7), Value::text("")},
            {Value::integer(1LL << 40), Value::text("Čačak")},
            {Value::null(), Value::blob(std::string("a\0b", 3))},
            {Value::real(2.5), Value::blob(big)},
        };
        for (const auto& r : rows) {
            s.appendRow(r);
        }
        QCOMPARE(s.rowCount(), rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < 2; ++c) {
                QVERIFY2(s.value(r, c) == rows[r][c], qPrintable(QString("%1,%2").arg(r).arg(c)));
            }
        }
    }

    // Each column picks its own encoding as values arrive and changes it
    // when a value does not fit: widths widen, decimal reals move to a larger
    // scale or to plain bits, a dictionary gives way to plain texts. Every
    // cell, written before or after such a change, must read back exactly.
    void everyEncodingReadsBackExactly_data() {
        QTest::addColumn<std::vector<Value>>("cells");
        const auto reals = [](std::initializer_list<double> ds) {
            std::vector<Value> v;
            for (double d : ds) {
                v.push_back(Value::real(d));
            }
            return v;
        };
        QTest::newRow("integers widening") << std::vector<Value>{
            Value::integer(1),         Value::integer(-128),      Value::integer(40000),
            Value::integer(INT64_MIN), Value::integer(INT64_MAX), Value::integer(0)};
        QTest::newRow("decimal scale rising") << reals({3, 12.5, 0.25, 14285.71, 0.0001, -7.5});
        QTest::newRow("decimals then a third") << reals({19.99, 1.0 / 3, 0.1});
        QTest::newRow("values a scale cannot hold") << reals(
            {0.1, -0.0, 1e300, 9007199254740993.0, 0.1 + 0.2, 5e-324,
             std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()});
        QTest::newRow("large decimal then a finer one") << reals({90071992547409.9, 0.001, 2.5});
        QTest::newRow("mixed kinds") << std::vector<Value>{Value::real(2.5),
                                                           Value::integer(7),
                                                           Value::null(),
                                                           Value::text("x"),
                                                           Value::blob(std::string("\0\1", 2)),
                                                           Value::real(2.25)};
        std::vector<Value> texts;
        for (int i = 0; i < 40000; ++i) { // repeats at first, then too many to keep in a dictionary
            texts.push_back(Value::text("v" + std::to_string(i < 1000 ? i % 10 : i)));
        }
        texts.push_back(Value::blob("v3"));
        QTest::newRow("dictionary giving way") << texts;
    }
    void everyEncodingReadsBackExactly() {
        QFETCH(std::vector<Value>, cells);
        const auto same = [](const Value& a, const Value& b) {
            if (a.kind == Value::Kind::Real && b.kind == Value::Kind::Real) {
                return std::memcmp(&a.d, &b.d, sizeof a.d) == 0;
            }
            return a == b;
        };
        Snapshot s(2);
        for (const Value& v : cells) {
            s.appendRow({v, Value::integer(1)});
        }
        // Each cell is written once more over another row's value, so the
        // edit path meets the encodings as the load left them.
        std::vector<Value> edited(cells.rbegin(), cells.rend());
        for (std::size_t r = 0; r < cells.size(); ++r) {
            QVERIFY2(same(s.value(r, 0), cells[r]), qPrintable(QString("read row %1").arg(r)));
        }
        for (std::size_t r = 0; r < cells.size(); ++r) {
            s.set(r, 0, edited[r]);
        }
        for (std::size_t r = 0; r < cells.size(); ++r) {
            QVERIFY2(same(s.value(r, 0), edited[r]), qPrintable(QString("edited row %1").arg(r)));
            QCOMPARE(s.intAt(r, 1), 1);
        }
    }

    // A column that repeats a few texts keeps a two-byte code per cell; a
    // price column keeps a scaled integer, not the double's eight bytes.
    void repeatedTextsAndDecimalsStaySmall() {
        Snapshot s(2);
        const int rows = 400000;
        for (int i = 0; i < rows; ++i) {
            s.appendText("City " + std::to_string(i % 5000));
            s.appendReal((i % 100000) / 100.0);
        }
        QCOMPARE(s.bytesAt(12345, 0), std::string_view("City 2345"));
        QCOMPARE(s.realAt(12345, 1), 123.45);
        QVERIFY2(s.memoryUsed() < std::size_t{rows} * 12,
                 qPrintable(QString::number(s.memoryUsed())));
    }

    void changingAKindInAUniformColumn() {
        Snapshot s(1);
        for (int i = 0; i < 5; ++i) {
            s.appendInt(i);
        }
        const std::size_t uniform = s.memoryUsed();
        s.set(2, 0, Value::null());
        s.set(3, 0, Value::text("three"));
        s.appendReal(0.5);
        QCOMPARE(s.kind(1, 0), Value::Kind::Int);
        QCOMPARE(s.kind(2, 0), Value::Kind::Null);
        QCOMPARE(s.value(3, 0).s, std::string("three"));
        QCOMPARE(s.realAt(5, 0), 0.5);
        QCOMPARE(s.intAt(4, 0), 4);
        QVERIFY(s.memoryUsed() > uniform); // now a kind per cell
    }

    // Many small results (a table view each) take memory for what they hold,
    // not a whole block of text storage each.
    void smallResultsStaySmall() {
        const auto resident = [] {
            std::ifstream statm("/proc/self/statm");
            long size = 0;
            long pages = 0;
            statm >> size >> pages;
            return pages * sysconf(_SC_PAGESIZE);
        };
        const long before = resident();
        std::vector<Snapshot> results;
        for (int i = 0; i < 64; ++i) {
            results.emplace_back(1);
            results.back().appendText("a few letters");
        }
        const double addedMiB = double(resident() - before) / (1 << 20);
        QVERIFY2(addedMiB < 16, qPrintable(QString::number(addedMiB)));
    }
};

QTEST_APPLESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
