#pragma once

#include "data/service/Engine.h"
#include "data/service/Snapshot.h"
#include "data/service/Value.h"

#include <mysql.h>

#include <string>
#include <vector>

namespace vdata {

// The columns of a prepared statement's result bound to buffers in the
// binary protocol's own types: whole numbers as numbers (unsigned ones past
// the 64-bit range as text), FLOAT and DOUBLE as they print, DECIMAL as its
// text, dates and times as text with their fractions (a zero date as
// stored), BIT as a number, binary strings as bytes, every other string as
// text.
class MariaDbRow {
public:
    explicit MariaDbRow(MYSQL_STMT* stmt);
    MariaDbRow(const MariaDbRow&) = delete;
    MariaDbRow& operator=(const MariaDbRow&) = delete;

    const std::vector<ColumnInfo>& columns() const { return columns_; }
    // Takes the outcome of a fetch (mysql_stmt_fetch or its non-blocking
    // form) into the buffers; false when no row remains. Raises DataError
    // with the server's message.
    bool accept(int fetched);
    void appendTo(Snapshot& rows) const;
    Value value(std::size_t column) const;

private:
    enum class Kind { Int, UInt, Float, Double, Text, Bytes, Bit, Date, DateTime, Time };
    struct Cell {
        Kind kind = Kind::Text;
        unsigned int decimals = 0;
        long long number = 0;
        float single = 0;
        double real = 0;
        MYSQL_TIME time{};
        std::string bytes;
        unsigned long length = 0;
        my_bool isNull = 0;
        my_bool error = 0;
    };
    void bindColumn(std::size_t i, const MYSQL_FIELD& field);
    static void appendTime(std::string& out, const Cell& c);

    MYSQL_STMT* stmt_;
    std::vector<ColumnInfo> columns_;
    std::vector<Cell> cells_;
    std::vector<MYSQL_BIND> binds_;
    mutable std::string timeText_; // a date's or time's text, its buffer kept from cell to cell
};

// Statement parameters in the binary protocol: NULL, 64-bit integers,
// doubles, text and bytes. The binds stay valid while this object lives.
class MariaDbParams {
public:
    explicit MariaDbParams(const std::vector<Value>& values);
    MYSQL_BIND* binds() { return binds_.empty() ? nullptr : binds_.data(); }

private:
    std::vector<Value> values_;
    std::vector<MYSQL_BIND> binds_;
    std::vector<unsigned long> lengths_;
};

} // namespace vdata
