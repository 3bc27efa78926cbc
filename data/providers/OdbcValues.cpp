#include "data/providers/OdbcValues.h"

#include "data/providers/OdbcHandle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vdata {

namespace {

// Cells wider than this are read with SQLGetData instead of in blocks.
constexpr SQLLEN widestBlockCell = 8192;
// Text and bytes longer than this are sent as long data types.
constexpr std::size_t longParameter = 4000;

std::string dateText(const SQL_DATE_STRUCT& d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", d.year, d.month, d.day);
    return text;
}

// "yyyy-MM-dd HH:mm:ss" and the fraction's digits, trailing zeros dropped.
std::string timestampText(const SQL_TIMESTAMP_STRUCT& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    std::string out = text;
    if (t.fraction != 0) {
        char fraction[24];
        std::snprintf(fraction, sizeof fraction, ".%09u", static_cast<unsigned>(t.fraction));
        std::string digits = fraction;
        digits.erase(digits.find_last_not_of('0') + 1);
        out += digits;
    }
    return out;
}

SQLLEN fixedWidth(OdbcStorage storage) {
    switch (storage) {
    case OdbcStorage::Int:
        return sizeof(std::int64_t);
    case OdbcStorage::Real:
        return sizeof(double);
    case OdbcStorage::Date:
        return sizeof(SQL_DATE_STRUCT);
    case OdbcStorage::Timestamp:
        return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
        return 0;
    }
}

} // namespace

OdbcStorage odbcStorage(FieldType type) {
    switch (type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
    case FieldType::LargeInt:
    case FieldType::Boolean:
        return OdbcStorage::Int;
    case FieldType::Float:
        return OdbcStorage::Real;
    case FieldType::Decimal:
        return OdbcStorage::Digits;
    case FieldType::Date:
        return OdbcStorage::Date;
    case FieldType::DateTime:
        return OdbcStorage::Timestamp;
    case FieldType::Bytes:
        return OdbcStorage::Bytes;
    default:
        return OdbcStorage::Text;
    }
}

SQLSMALLINT odbcCType(OdbcStorage storage) {
    switch (storage) {
    case OdbcStorage::Int:
        return SQL_C_SBIGINT;
    case OdbcStorage::Real:
        return SQL_C_DOUBLE;
    case OdbcStorage::Digits:
        return SQL_C_CHAR;
    case OdbcStorage::Date:
        return SQL_C_TYPE_DATE;
    case OdbcStorage::Timestamp:
        return SQL_C_TYPE_TIMESTAMP;
    case OdbcStorage::Bytes:
        return SQL_C_BINARY;
    default:
        return SQL_C_WCHAR;
    }
}

SQLLEN odbcCellWidth(OdbcStorage storage, SQLULEN columnSize) {
    if (const SQLLEN fixed = fixedWidth(storage)) {
        return fixed;
    }
    if (columnSize == 0 || columnSize > static_cast<SQLULEN>(widestBlockCell)) {
        return 0;
    }
    const auto size = static_cast<SQLLEN>(columnSize);
    switch (storage) {
    case OdbcStorage::Digits:
        return size + 3; // sign, point, terminator
    case OdbcStorage::Bytes:
        return std::max<SQLLEN>(size, 1);
    default:
        // A character may take two UTF-16 units (an emoji counts as one
        // character in some servers), and the terminator one.
        return (2 * size + 1) * static_cast<SQLLEN>(sizeof(SQLWCHAR));
    }
}

void appendOdbcCell(Snapshot& rows, OdbcStorage storage, const void* data, SQLLEN length) {
    if (length == SQL_NULL_DATA) {
        rows.appendNull();
        return;
    }
    switch (storage) {
    case OdbcStorage::Int:
        rows.appendInt(*static_cast<const std::int64_t*>(data));
        return;
    case OdbcStorage::Real:
        rows.appendReal(*static_cast<const double*>(data));
        return;
    case OdbcStorage::Date:
        rows.appendText(dateText(*static_cast<const SQL_DATE_STRUCT*>(data)));
        return;
    case OdbcStorage::Timestamp:
        rows.appendText(timestampText(*static_cast<const SQL_TIMESTAMP_STRUCT*>(data)));
        return;
    case OdbcStorage::Text:
        rows.appendText(fromUtf16(static_cast<const SQLWCHAR*>(data),
                                  static_cast<std::size_t>(length) / sizeof(SQLWCHAR)));
        return;
    case OdbcStorage::Bytes:
        rows.appendBlob({static_cast<const char*>(data), static_cast<std::size_t>(length)});
        return;
    case OdbcStorage::Digits:
        rows.appendText({static_cast<const char*>(data), static_cast<std::size_t>(length)});
        return;
    }
}

// Text and bytes come in pieces until SQL_NO_DATA; a text piece ends with a
// terminator that is not part of the value.
void appendOdbcData(Snapshot& rows, OdbcStorage storage, SQLHSTMT stmt, SQLUSMALLINT column) {
    const SQLSMALLINT cType = odbcCType(storage);
    if (const SQLLEN fixed = fixedWidth(storage)) {
        alignas(8) char cell[64];
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, cType, cell, fixed, &length);
        if (!succeeded(rc)) {
            throw odbcError(SQL_HANDLE_STMT, stmt);
        }
        appendOdbcCell(rows, storage, cell, length);
        return;
    }
    const std::size_t terminator = storage == OdbcStorage::Text     ? sizeof(SQLWCHAR)
                                   : storage == OdbcStorage::Digits ? 1
                                                                    : 0;
    std::string value;
    std::vector<char> piece(65536);
    while (true) {
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, cType, piece.data(),
                                        static_cast<SQLLEN>(piece.size()), &length);
        if (rc == SQL_NO_DATA) {
            break;
        }
        if (!succeeded(rc)) {
            throw odbcError(SQL_HANDLE_STMT, stmt);
        }
        if (length == SQL_NULL_DATA) {
            rows.appendNull();
            return;
        }
        const bool whole =
            length != SQL_NO_TOTAL && static_cast<std::size_t>(length) + terminator <= piece.size();
        value.append(piece.data(),
                     whole ? static_cast<std::size_t>(length) : piece.size() - terminator);
        if (whole) {
            break;
        }
    }
    appendOdbcCell(rows, storage, value.data(), static_cast<SQLLEN>(value.size()));
}

OdbcParams::OdbcParams(SQLHSTMT stmt, const std::vector<Value>& values) : bound_(values.size()) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Value& v = values[i];
        Bound& b = bound_[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN size = 1;
        SQLPOINTER data = nullptr;
        switch (v.kind) {
        case Value::Kind::Null:
            b.indicator = SQL_NULL_DATA;
            break;
        case Value::Kind::Int:
            b.integer = v.i;
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            size = 19;
            data = &b.integer;
            break;
        case Value::Kind::Real:
            b.real = v.d;
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            size = 15;
            data = &b.real;
            break;
        case Value::Kind::Text:
            b.text = toUtf16(v.s);
            b.indicator = static_cast<SQLLEN>(b.text.size() * sizeof(char16_t));
            cType = SQL_C_WCHAR;
            sqlType = b.text.size() > longParameter ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            size = std::max<SQLULEN>(b.text.size(), 1);
            data = wide(b.text);
            break;
        case Value::Kind::Blob:
            b.bytes = v.s;
            b.indicator = static_cast<SQLLEN>(b.bytes.size());
            cType = SQL_C_BINARY;
            sqlType = b.bytes.size() > longParameter ? SQL_LONGVARBINARY : SQL_VARBINARY;
            size = std::max<SQLULEN>(b.bytes.size(), 1);
            data = b.bytes.data();
            break;
        }
        const SQLRETURN rc =
            SQLBindParameter(stmt, number, SQL_PARAM_INPUT, cType, sqlType, size, 0, data,
                             b.indicator > 0 ? b.indicator : 0, &b.indicator);
        if (!succeeded(rc)) {
            throw odbcError(SQL_HANDLE_STMT, stmt);
        }
    }
}

} // namespace vdata
