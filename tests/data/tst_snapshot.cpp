#include "data/service/Snapshot.h"

#include <QtTest>

#include <fstream>

#include <unistd.h>

using namespace vdata;

// The compact row store: kinds kept once per uniform column, bytes in blocks.
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
