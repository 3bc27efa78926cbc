#pragma once

// Timing and memory helpers shared by the benchmark programs.

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

} // namespace bench
