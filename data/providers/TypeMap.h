#pragma once

#include "data/service/FieldType.h"

#include <string_view>

namespace vdata {

// The one place where engine types become field types.

// SQLite: by the declared column type; `isRowidAlias` marks an INTEGER
// PRIMARY KEY column. An empty declared type (an expression) maps to
// Unknown; the caller then types it by its values.
FieldType sqliteFieldType(std::string_view declaredType, bool isRowidAlias);

// PostgreSQL: by type OID.
FieldType postgresFieldType(unsigned int oid);

} // namespace vdata
