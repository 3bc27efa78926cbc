#include "data/providers/TypeMap.h"

#include <sql.h>
#include <sqlext.h>

namespace vdata {

namespace {

// SQL Server's own types, as its drivers describe them.
constexpr int sqlServerTime = -154;            // time(n)
constexpr int sqlServerTimestampOffset = -155; // datetimeoffset(n)

FieldType wholeNumberType(int sqlType, bool isUnsigned) {
    switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
        return FieldType::SmallInt;
    case SQL_INTEGER:
        return isUnsigned ? FieldType::LargeInt : FieldType::Integer;
    default: // SQL_BIGINT: an unsigned one may exceed 64-bit signed, kept exact as text
        return isUnsigned ? FieldType::Decimal : FieldType::LargeInt;
    }
}

} // namespace

FieldType odbcFieldType(int sqlType, bool isUnsigned, bool autoUnique) {
    switch (sqlType) {
    case SQL_BIT:
        return FieldType::Boolean;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
        const FieldType type = wholeNumberType(sqlType, isUnsigned);
        const bool small = type == FieldType::Integer || type == FieldType::SmallInt;
        return autoUnique && small ? FieldType::AutoInc : type;
    }
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return FieldType::Float;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return FieldType::Decimal;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return FieldType::Date;
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case sqlServerTime:
        return FieldType::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case sqlServerTimestampOffset:
        return FieldType::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return FieldType::Bytes;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        return FieldType::Memo;
    default:
        return FieldType::WideString;
    }
}

} // namespace vdata
