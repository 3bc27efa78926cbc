#pragma once

#include "data/service/FieldType.h"
#include "data/service/Snapshot.h"
#include "data/service/Value.h"

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

namespace vdata {

// How a result column's cells are fetched and kept: whole numbers and
// floats as numbers, exact decimals as their digits (never through a
// double), dates and timestamps from the driver's structures as ISO text
// with the fraction, binary as bytes, everything else as wide text.
enum class OdbcStorage { Int, Real, Digits, Date, Timestamp, Bytes, Text };

OdbcStorage odbcStorage(FieldType type);
// Digits, text and bytes: cells whose length varies.
inline bool isVariableLength(OdbcStorage s) {
    return s == OdbcStorage::Digits || s == OdbcStorage::Text || s == OdbcStorage::Bytes;
}
SQLSMALLINT odbcCType(OdbcStorage storage);

// The bytes a cell takes in a fetch buffer for a column of `columnSize`
// (characters or bytes, as SQLDescribeCol gives it), or 0 when its cells
// may be longer than a block buffer holds: those are read with SQLGetData.
SQLLEN odbcCellWidth(OdbcStorage storage, SQLULEN columnSize);

// Appends one fetched cell: `length` is its indicator (bytes, or
// SQL_NULL_DATA).
void appendOdbcCell(Snapshot& rows, OdbcStorage storage, const void* data, SQLLEN length);

// Reads a column of the current row whole with SQLGetData and appends it.
// Raises DataError with the driver's message.
void appendOdbcData(Snapshot& rows, OdbcStorage storage, SQLHSTMT stmt, SQLUSMALLINT column);

// Statement parameters bound with SQLBindParameter: NULL, 64-bit integers,
// doubles, text as wide characters, bytes as binary. The buffers live as
// long as this object.
class OdbcParams {
public:
    // Binds `values` to the statement's markers 1..n.
    OdbcParams(SQLHSTMT stmt, const std::vector<Value>& values);

private:
    struct Bound {
        std::int64_t integer = 0;
        double real = 0;
        std::u16string text;
        std::string bytes;
        SQLLEN indicator = 0;
    };
    std::vector<Bound> bound_;
};

} // namespace vdata
