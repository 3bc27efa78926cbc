#pragma once

#include "data/service/FieldType.h"

#include <string>
#include <string_view>

namespace vdata {

// The one place where engine types become field types.

// SQLite: by the declared column type; `isRowidAlias` marks an INTEGER
// PRIMARY KEY column. An empty declared type (an expression) maps to
// Unknown; the caller then types it by its values.
FieldType sqliteFieldType(std::string_view declaredType, bool isRowidAlias);
// The digits after the point that a decimal column of the declared type
// shows at least: the scale of DECIMAL(p,s) and NUMERIC(p,s), 2 for MONEY
// and CURRENCY; -1 for any other type.
int sqliteDeclaredScale(std::string_view declaredType);

// Access: the declared type an Access column gets in the SQLite copy the
// Access engine reads it through, chosen so that the SQLite rule above gives
// the column's field type and SQLite keeps its values as they are. `type` is
// MDB Tools' column type (MDB_TEXT ...); an AutoNumber column is a Long
// Integer or a Replication ID that Access fills in.
std::string accessDeclaredType(int type, bool autoNumber, int precision, int scale);

// PostgreSQL: by type OID.
FieldType postgresFieldType(unsigned int oid);

// ODBC: by the SQL type a driver describes a result column with
// (SQLDescribeCol); `isUnsigned` and `autoUnique` are the column's
// SQL_DESC_UNSIGNED and SQL_DESC_AUTO_UNIQUE_VALUE.
FieldType odbcFieldType(int sqlType, bool isUnsigned, bool autoUnique);

// MariaDB and MySQL: by the protocol's column type (MYSQL_TYPE_...), its
// flags (UNSIGNED_FLAG, AUTO_INCREMENT_FLAG), its length in characters or
// bits, and whether its character set is the binary one.
FieldType mariaDbFieldType(int type, unsigned int flags, unsigned long length, bool binary);

} // namespace vdata
