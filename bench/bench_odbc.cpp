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
//
// With "steps" it opens a table view of the same rows through psqlODBC (on the cluster of
// scripts/pg-cluster.sh) and through SQLite's ODBC driver (on the file of bench_tableview), and
// prints how long the first screenful takes (target <= 0.1 s), how long reading every row in steps
// takes, against reading them at once as a plain statement and against psql and sqlite3:
//   source scripts/pg-cluster.sh && pg_cluster_start
//   build/dev/bench/bench_odbc [rows] steps
#include "bench/BenchSupport.h"
#include "data/providers/ProviderRegistry.h"
#include "data/service/Connection.h"
#include "data/service/Query.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <pwd.h>
#include <unistd.h>

namespace {

using namespace bench;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    if (!v) {
        std::fprintf(stderr, "%s is not set: start the server named at the top of bench_odbc.cpp\n",
                     name);
        std::exit(1);
    }
    return v;
}

// One read of `sql` through `connection`: as a table view of `table` (in steps) or at once.
struct Read {
    double first; // seconds until the open returned
    double whole; // seconds until every row was read
    bool inSteps; // whether rows were left after the open
    int records;
};
Read timeRead(vdata::Connection& connection, const std::string& sql, const std::string& table) {
    vdata::Query query(&connection);
    query.setSQL(sql);
    if (!table.empty()) {
        query.setTableView({table, connection.tableOrderKey(table), std::nullopt});
    }
    const auto start = Clock::now();
    query.open();
    Read read{seconds(start), 0, query.reading(), 0};
    query.readAll();
    read.whole = seconds(start);
    read.records = query.recordCount();
    return read;
}

// Opens `table` through the data source `dsn` as a table view and reads every row in steps, and
// as one plain statement, each twice in turn (the best of each counts, so that neither gains by
// its place); prints both against `cli` (seconds the command line tool took).
void timeSteps(const std::string& name, const std::string& dsn, const std::string& table,
               double cli) {
    vdata::Connection connection;
    connection.setConnectionString("Provider=ODBC;Server Type=ODBC;Data Source=" + dsn);
    connection.open();
    const std::string sql = "SELECT * FROM [" + table + "] ORDER BY [id]";
    Read stepped = timeRead(connection, sql, table);
    Read atOnce = timeRead(connection, sql, "");
    for (const bool steps : {true, false}) {
        const Read again = timeRead(connection, sql, steps ? table : "");
        Read& best = steps ? stepped : atOnce;
        best.first = std::min(best.first, again.first);
        best.whole = std::min(best.whole, again.whole);
    }
    std::printf("%s: first screenful %.3f s (%s; target <= 0.100 s) %s\n", name.c_str(),
                stepped.first, stepped.inSteps ? "read in steps" : "read at once",
                stepped.first <= 0.1 ? "PASS" : "FAIL");
    std::printf("%s: every row in steps %.2f s (%d records); at once %.2f s (%d records), ratio "
                "%.2f; command line tool %.2f s, ratio %.2f\n",
                name.c_str(), stepped.whole, stepped.records, atOnce.whole, atOnce.records,
                stepped.whole / atOnce.whole, cli, stepped.whole / cli);
}

int steps(int argc, char** argv) {
    const BenchTable file = benchTable(std::min(argc, 2), argv);
    const long rows = file.rows;
    const std::string host = env("VELDMARK_PG_HOST");
    const std::string port = env("VELDMARK_PG_PORT");
    const std::string db = env("VELDMARK_PG_DB");
    const std::string psql = "psql -X -q -h '" + host + "' -p " + port + " -d '" + db + "' ";
    timeShell(psql + "-c \"" + pgBenchTableSql("bench_t", rows) + "\"");
    timeShell(psql + "-c 'VACUUM ANALYZE bench_t'");

    // The data sources, in an odbc.ini beside the file.
    const std::string ini = file.dir + "/odbc.ini";
    const passwd* user = ::getpwuid(::geteuid());
    std::ofstream(ini) << "[bench_pg]\nDriver=PostgreSQL Unicode\nServername=" << host
                       << "\nPort=" << port << "\nDatabase=" << db
                       << "\nUsername=" << (user ? user->pw_name : "") << "\n"
                       << "[bench_sqlite]\nDriver=SQLite3\nDatabase=" << file.path << "\n";
    ::setenv("ODBCINI", ini.c_str(), 1);

    timeShell(psql + "-c 'SELECT * FROM bench_t' > /dev/null"); // warm the cache
    const double psqlAll = timeShell(psql + "-c 'SELECT * FROM bench_t' > /dev/null");
    timeSteps("psqlODBC", "bench_pg", "bench_t", psqlAll);
    timeShell(psql + "-c 'DROP TABLE bench_t'");

    const std::string sqlite = "sqlite3 '" + file.path + "' 'SELECT * FROM t' > /dev/null";
    timeShell(sqlite); // warm the cache
    timeSteps("SQLite ODBC", "bench_sqlite", "t", timeShell(sqlite));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    vdata::installProviders();
    if (argc > 2 && std::string(argv[2]) == "steps") {
        return steps(argc, argv);
    }
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
