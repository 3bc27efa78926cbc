// Opens a 1,000,000-row MariaDB table through the ODBC engine (or, with
// "native" after the row count, the MariaDB engine) the way a table view does (open, then a second
// execution by the re-query), against the mariadb command reading the same rows in the same run.
// Prints the ratio, and the memory added against the table's size as the server reports it (data
// and indexes).
//
// Needs the server of scripts/mariadb-server.sh (VELDMARK_MARIADB_SOCKET,
// VELDMARK_MARIADB_DB) and MariaDB's ODBC driver:
//   source scripts/mariadb-server.sh && mariadb_server_start
//   build/dev/bench/bench_odbc [rows] [native]
#include "bench/BenchSupport.h"
#include "data/providers/ProviderRegistry.h"
#include "data/service/Connection.h"
#include "data/service/Query.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace bench;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    if (!v) {
        std::fprintf(stderr, "%s is not set: start the server of scripts/mariadb-server.sh\n",
                     name);
        std::exit(1);
    }
    return v;
}

} // namespace

int main(int argc, char** argv) {
    vdata::installProviders();
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string socket = env("VELDMARK_MARIADB_SOCKET");
    const std::string db = env("VELDMARK_MARIADB_DB");
    const std::string cli = "mariadb --batch --quick -S '" + socket + "' -D '" + db + "' ";

    timeShell(cli + "-e \"" + mariaDbBenchTableSql("bench_t", rows) + "\" > /dev/null");
    timeShell(cli + "-e 'SELECT * FROM bench_t' > /dev/null"); // warm the cache
    const double baseline = timeShell(cli + "-e 'SELECT * FROM bench_t' > /dev/null");

    vdata::Connection connection;
    const bool native = argc > 2 && std::string(argv[2]) == "native";
    connection.setConnectionString(
        std::string(native ? "Provider=MariaDB" : "Provider=ODBC;Server Type=MariaDB") +
        ";Data Source=" + socket + ";Initial Catalog=" + db + ";Integrated Security=SSPI");
    connection.open();
    vdata::Query size(&connection);
    size.setSQL("SELECT data_length + index_length FROM information_schema.tables"
                " WHERE table_schema = DATABASE() AND table_name = 'bench_t'");
    size.open();
    const double tableMiB = std::atof(size.field(0).asString().c_str()) / (1 << 20);
    size.close();

    vdata::Query query(&connection);
    query.setSQL("SELECT * FROM [bench_t]");
    const auto [open, addedMiB] = openAsTableView(query);

    std::printf("records: %d\n", query.recordCount());
    std::printf("open (two executions): %.2f s; mariadb --batch --quick reading all rows: %.2f s;"
                " ratio %.2f (target <= 1.00)\n",
                open, baseline, open / baseline);
    std::printf("memory added: %.0f MiB; table on the server: %.0f MiB; ratio %.2f (target <= "
                "1.00)\n",
                addedMiB, tableMiB, addedMiB / tableMiB);
    query.close();
    timeShell(cli + "-e 'DROP TABLE bench_t'");
    return 0;
}
