// Opens an Access file and every one of its tables the way table views do
// (open, then a second execution by the re-query), against the mdb-export
// command exporting the same tables in the same run. Prints the time and the
// memory added, with ratios. Then opens the largest table, on a connection
// of its own, as a table view that reads in steps: the time until its first
// screenful shows.
//
//   bench_access [file.mdb]   (default: nwind.mdb of the Access test files)
#include "bench/BenchSupport.h"
#include "data/providers/ProviderRegistry.h"
#include "data/service/Connection.h"
#include "data/service/Query.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench;

double exportAll(const std::string& path, const std::vector<std::string>& tables) {
    double total = 0;
    for (const std::string& table : tables) {
        total += timeShell("mdb-export '" + path + "' '" + table + "' > /dev/null");
    }
    return total;
}

// Opens `table` of the file as a table view on a new connection and returns
// how long the open took; `shown` and `total` receive the rows it showed and
// those the whole read gave.
double firstScreenful(const std::string& path, const std::string& table, int& shown, int& total) {
    vdata::Connection connection;
    connection.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    connection.open();
    vdata::Query query(&connection);
    query.setTableView({table, {}, std::nullopt});
    const auto start = Clock::now();
    query.open();
    const double took = seconds(start);
    shown = query.recordCount();
    query.readAll();
    total = query.recordCount();
    return took;
}

} // namespace

int main(int argc, char** argv) {
    vdata::installProviders();
    const std::string path = argc > 1 ? argv[1] : ACCESS_TESTDATA "/nwind.mdb";
    if (!std::filesystem::exists(path)) {
        std::fprintf(stderr, "no such file: %s\n", path.c_str());
        return 1;
    }
    const double fileMiB = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    std::printf("file: %s, %.2f MiB\n", path.c_str(), fileMiB);

    const long before = residentBytes();
    auto start = Clock::now();
    vdata::Connection connection;
    connection.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    connection.open();
    const std::vector<std::string> tables = connection.tableNames();
    std::vector<std::unique_ptr<vdata::Query>> views;
    long rows = 0;
    std::string largest;
    int largestRows = -1;
    for (const std::string& table : tables) {
        auto query = std::make_unique<vdata::Query>(&connection);
        query->setSQL("SELECT * FROM [" + table + "]");
        query->open();
        query->requery();
        rows += query->recordCount();
        if (query->recordCount() > largestRows) {
            largest = table;
            largestRows = query->recordCount();
        }
        views.push_back(std::move(query));
    }
    const double open = seconds(start);
    const double addedMiB = static_cast<double>(residentBytes() - before) / (1 << 20);

    exportAll(path, tables); // warm the page cache
    const double exported = exportAll(path, tables);

    std::printf("tables: %zu, rows: %ld\n", tables.size(), rows);
    std::printf("open file and every table (two executions each): %.3f s; mdb-export of the same "
                "tables: %.3f s; ratio %.2f (limit 1.00)\n",
                open, exported, open / exported);
    std::printf("memory added: %.2f MiB; file %.2f MiB; ratio %.2f (limit 3.00)\n", addedMiB,
                fileMiB, addedMiB / fileMiB);

    constexpr double firstLimit = 0.1;
    int shown = 0;
    int total = 0;
    const double first = firstScreenful(path, largest, shown, total);
    std::printf("first screenful of the largest table, %s (%d of %d rows; all read: %d): %.3f s "
                "(limit %.2f) %s\n",
                largest.c_str(), shown, largestRows, total, first, firstLimit,
                first <= firstLimit && total == largestRows ? "pass" : "fail");
    return 0;
}
