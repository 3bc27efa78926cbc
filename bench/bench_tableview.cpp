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

using namespace bench;

int main(int argc, char** argv) {
    vdata::installProviders();
    const auto [rows, dir, path] = benchTable(argc, argv);
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
    const auto [open, addedMiB] = openAsTableView(query);
    const auto start = Clock::now();
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
