// Exports a 1,000,000-row table as CSV the way a data window does (the rows
// the window holds, written to a save file in large pieces), against
// the sqlite3 command writing the same rows as CSV in the same run. Prints
// both times and the ratio.
//
//   bench_export [rows] [work-dir] [keep]
#include "bench/BenchSupport.h"
#include "data/providers/ProviderRegistry.h"
#include "data/service/Connection.h"
#include "data/service/Query.h"
#include "toolkit/CsvExport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace bench;

int main(int argc, char** argv) {
    vdata::installProviders();
    const auto [rows, dir, path] = benchTable(argc, argv);
    const std::string cliOut = dir + "/veldmark-export-cli.csv";
    const std::string ownOut = dir + "/veldmark-export.csv";
    const std::string cli = "sqlite3 -csv '" + path + "' 'SELECT * FROM t' > '" + cliOut + "'";
    timeShell(cli); // warm the page cache
    const double cliTime = timeShell(cli);

    vdata::Connection connection;
    connection.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    connection.open();
    vdata::Query query(&connection);
    query.setSQL("SELECT * FROM [t]");
    auto start = Clock::now();
    query.open();
    const double open = seconds(start);
    const QString target = QString::fromStdString(ownOut);
    tk::writeCsvFile(target, query); // warm the file cache as for the command
    start = Clock::now();
    const QString error = tk::writeCsvFile(target, query);
    const double own = seconds(start);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "could not write %s: %s\n", ownOut.c_str(), qPrintable(error));
        return 1;
    }

    std::printf("records: %d; CSV %.0f MiB (sqlite3: %.0f MiB)\n", query.recordCount(),
                static_cast<double>(std::filesystem::file_size(ownOut)) / (1 << 20),
                static_cast<double>(std::filesystem::file_size(cliOut)) / (1 << 20));
    std::printf("export of the rows a window holds: %.2f s (the window read them in %.2f s)\n", own,
                open);
    std::printf("sqlite3 -csv: %.2f s\n", cliTime);
    std::printf("ratio export / sqlite3: %.2f (limit 1.00)\n", own / cliTime);
    std::printf("ratio read and export / sqlite3: %.2f\n", (open + own) / cliTime);
    if (argc > 3) { // keep both files to compare them
        return 0;
    }
    std::filesystem::remove(cliOut);
    std::filesystem::remove(ownOut);
    return 0;
}
