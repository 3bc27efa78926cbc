// Opens a 1,000,000-row PostgreSQL table the way a table view does (open,
// then a second execution by the re-query), against the psql command reading
// the same rows in the same run. Prints the ratio and the memory added.
//
// Needs the server of scripts/pg-cluster.sh (VELDMARK_PG_HOST, _PORT, _DB):
//   source scripts/pg-cluster.sh && pg_cluster_start
//   build/dev/bench/bench_postgres [rows]
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
        std::fprintf(stderr, "%s is not set: start the cluster of scripts/pg-cluster.sh\n", name);
        std::exit(1);
    }
    return v;
}

} // namespace

int main(int argc, char** argv) {
    vdata::installProviders();
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string host = env("VELDMARK_PG_HOST");
    const std::string port = env("VELDMARK_PG_PORT");
    const std::string db = env("VELDMARK_PG_DB");
    const std::string psql = "psql -X -q -h '" + host + "' -p " + port + " -d '" + db + "' ";

    timeShell(psql + "-c \"" + pgBenchTableSql("bench_t", rows) + "\"");
    timeShell(psql + "-c 'VACUUM ANALYZE bench_t'");
    timeShell(psql + "-c 'SELECT * FROM bench_t' > /dev/null"); // warm the cache
    const double cli = timeShell(psql + "-c 'SELECT * FROM bench_t' > /dev/null");

    vdata::Connection connection;
    connection.setConnectionString("Provider=SQLOLEDB.1;Data Source=" + host + "," + port +
                                   ";Initial Catalog=" + db);
    connection.open();
    vdata::Query query(&connection);
    query.setSQL("SELECT * FROM [bench_t]");
    const auto [open, addedMiB] = openAsTableView(query);

    std::printf("records: %d\n", query.recordCount());
    std::printf("open (two executions): %.2f s; psql reading all rows: %.2f s; ratio %.2f\n", open,
                cli, open / cli);
    std::printf("memory added: %.0f MiB\n", addedMiB);
    query.close();
    timeShell(psql + "-c 'DROP TABLE bench_t'");
    return 0;
}
