// Opens a 1,000,000-row table the way a table view does (open, then a second
// execution by the re-query) and sorts it by a text column, against the
// sqlite3 command reading the same rows in the same run. Prints ratios.
//
//   bench_tableview [rows] [work-dir]
#include "bench/BenchSupport.h"
#include "data/providers/ProviderRegistry.h"
#include "data/service/Connection.h"
#include "data/service/Query.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace bench;

void makeTable(const std::string& path, long rows) {
    std::filesystem::remove(path);
    const std::string script =
        "CREATE TABLE t(id INTEGER PRIMARY KEY, qty INT, code VARCHAR(12), city VARCHAR(20),"
        " day DATE, price DECIMAL(10,2), ratio REAL, note VARCHAR(60));"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rows) +
        ") INSERT INTO t SELECT i, i % 1000, printf('C%08d', (i * 7919) % 1000003),"
        " printf('City %d', i % 5000), date('2000-01-01', '+' || (i % 9000) || ' days'),"
        " round((i % 100000) / 7.0, 2), i / 3.0,"
        " substr(printf('%s%s', hex(randomblob(16)), hex(randomblob(16))), 1, 60) FROM n;";
    const std::string command = "sqlite3 '" + path + "' \"" + script + "\"";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not build the table\n");
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    vdata::installProviders();
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    const std::string path = dir + "/veldmark-bench.db";
    if (!std::filesystem::exists(path)) {
        makeTable(path, rows);
    }
    const double fileMiB = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    std::printf("table: %s, %.0f MiB\n", path.c_str(), fileMiB);

    timeShell("sqlite3 '" + path + "' 'SELECT * FROM t' > /dev/null"); // warm the page cache
    const double cliRead = timeShell("sqlite3 '" + path + "' 'SELECT * FROM t' > /dev/null");
    const double cliSort =
        timeShell("sqlite3 '" + path + "' 'SELECT * FROM t ORDER BY note' > /dev/null");

    vdata::Connection connection;
    connection.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    connection.open();
    vdata::Query query(&connection);
    query.setSQL("SELECT * FROM [t]");
    const long before = residentBytes();
    auto start = Clock::now();
    query.open();
    query.requery();
    const double open = seconds(start);
    const double addedMiB = static_cast<double>(residentBytes() - before) / (1 << 20);
    start = Clock::now();
    query.setSort("note");
    const double sort = seconds(start);

    std::printf("records: %d\n", query.recordCount());
    std::printf("open (two executions): %.2f s; sqlite3 reading all rows: %.2f s; ratio %.2f "
                "(limit 2.00)\n",
                open, cliRead, open / cliRead);
    std::printf("memory added: %.0f MiB; file %.0f MiB; ratio %.2f (limit 1.50)\n", addedMiB,
                fileMiB, addedMiB / fileMiB);
    std::printf("sort by text: %.2f s; sqlite3 ORDER BY: %.2f s; ratio %.2f (limit 0.50)\n", sort,
                cliSort, sort / cliSort);
    return 0;
}
