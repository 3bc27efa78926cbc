#include "data/providers/TypeMap.h"

#include <mysql.h>

namespace vdata {

namespace {

FieldType integerType(int type, bool isUnsigned) {
    switch (type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
        return FieldType::SmallInt;
    case MYSQL_TYPE_INT24:
        return FieldType::Integer;
    case MYSQL_TYPE_LONG:
        return isUnsigned ? FieldType::LargeInt : FieldType::Integer;
    default:
        return FieldType::LargeInt;
    }
}

FieldType stringType(int type, bool binary) {
    if (binary) {
        return FieldType::Bytes;
    }
    switch (type) {
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_JSON:
        return FieldType::Memo;
    default:
        return FieldType::WideString;
    }
}

} // namespace

FieldType mariaDbFieldType(int type, unsigned int flags, unsigned long length, bool binary) {
    switch (type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_LONGLONG: {
        const FieldType t = integerType(type, (flags & UNSIGNED_FLAG) != 0);
        const bool counter = (flags & AUTO_INCREMENT_FLAG) != 0;
        return counter && (t == FieldType::Integer || t == FieldType::SmallInt) ? FieldType::AutoInc
                                                                                : t;
    }
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
        return FieldType::Float;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        return FieldType::Decimal;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
        return FieldType::Date;
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP:
        return FieldType::DateTime;
    case MYSQL_TYPE_TIME:
        return FieldType::Time;
    case MYSQL_TYPE_BIT:
        return length == 1 ? FieldType::Boolean : FieldType::LargeInt;
    case MYSQL_TYPE_NULL:
        return FieldType::Unknown;
    case MYSQL_TYPE_GEOMETRY:
        return FieldType::Bytes;
    default:
        return stringType(type, binary);
    }
}

} // namespace vdata
