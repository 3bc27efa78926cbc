#pragma once

// Timing and memory helpers shared by the benchmark programs.

#include "data/service/Query.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The process's resident memory, in bytes.
inline long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Opens `query` the way a table view does (open, then the re-query's second
// execution): how long it took and the memory it added.
struct TableViewOpen {
    double seconds;
    double addedMiB;
};
inline TableViewOpen openAsTableView(vdata::Query& query) {
    const long before = residentBytes();
    const auto start = Clock::now();
    query.open();
    query.requery();
    const double took = seconds(start);
    return {took, static_cast<double>(residentBytes() - before) / (1 << 20)};
}

// Runs a shell command and returns how long it took; a failing command ends
// the benchmark.
inline double timeShell(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds(start);
}

// The benchmark table: `rows` rows of numbers, codes, cities, dates, decimals,
// reals and 60-character notes, made by the sqlite3 command.
inline void makeTable(const std::string& path, long rows) {
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

// The statement that builds the benchmark table `name` with `rows` rows on
// PostgreSQL, with the same columns and values as makeTable's (VACUUM
// ANALYZE it apart: it cannot run in the same command).
inline std::string pgBenchTableSql(const std::string& name, long rows) {
    return "DROP TABLE IF EXISTS " + name + "; CREATE TABLE " + name +
           "(id int PRIMARY KEY, qty int, code varchar(12), city varchar(20), day date,"
           " price numeric(10,2), ratio float8, note varchar(60)); INSERT INTO " +
           name +
           " SELECT i, i % 1000, 'C' || lpad((i::bigint * 7919 % 1000003)::text, 8, '0'),"
           " 'City ' || (i % 5000), date '2000-01-01' + (i % 9000), round((i % 100000) / 7.0, 2),"
           " i / 3.0, left(md5(i::text) || md5((i + 1)::text), 60) FROM generate_series(1, " +
           std::to_string(rows) + ") i";
}

// The statements that build the benchmark table `name` with `rows` rows on
// MariaDB, with the same columns and values as makeTable's (the numbers come
// from the server's sequence engine).
inline std::string mariaDbBenchTableSql(const std::string& name, long rows) {
    return "DROP TABLE IF EXISTS " + name + "; CREATE TABLE " + name +
           " (id int PRIMARY KEY, qty int, code varchar(12), city varchar(20), day date,"
           " price decimal(10,2), ratio double, note varchar(60)); INSERT INTO " +
           name +
           " SELECT seq, seq % 1000, CONCAT('C', LPAD(seq * 7919 % 1000003, 8, '0')),"
           " CONCAT('City ', seq % 5000), DATE '2000-01-01' + INTERVAL (seq % 9000) DAY,"
           " ROUND((seq % 100000) / 7.0, 2), seq / 3.0, LEFT(CONCAT(MD5(seq), MD5(seq + 1)), 60)"
           " FROM seq_1_to_" +
           std::to_string(rows) + "; ANALYZE TABLE " + name + ";";
}

// The benchmark table of `argv` ([rows] [work-dir], by default 1,000,000
// rows in <temp>/veldmark-bench), built the first time it is asked for.
struct BenchTable {
    long rows;
    std::string dir;
    std::string path;
};
inline BenchTable benchTable(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path dir =
        argc > 2 ? std::filesystem::path(argv[2])
                 : std::filesystem::temp_directory_path() / "veldmark-bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / ("table-" + std::to_string(rows) + ".db")).string();
    if (!std::filesystem::exists(path)) {
        makeTable(path, rows);
    }
    return {rows, dir.string(), path};
}

} // namespace bench
