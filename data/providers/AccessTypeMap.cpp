#include "data/providers/TypeMap.h"

#include <mdbtools.h>

namespace vdata {

std::string accessDeclaredType(int type, bool autoNumber, int precision, int scale) {
    switch (type) {
    case MDB_BOOL:
        return "BOOLEAN";
    case MDB_BYTE:
        return "BYTE";
    case MDB_INT:
        return "SMALLINT";
    case MDB_LONGINT:
        return autoNumber ? "COUNTER" : "INTEGER";
    case MDB_COMPLEX: // the key of an attachment or multi-valued field
        return "INTEGER";
    case MDB_MONEY:
        return "CURRENCY";
    case MDB_FLOAT:
        return "REAL";
    case MDB_DOUBLE:
        return "DOUBLE";
    case MDB_NUMERIC:
        return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case MDB_DATETIME:
        return "DATETIME";
    case MDB_TEXT:
        return "VARCHAR";
    case MDB_MEMO: // LONGTEXT keeps text affinity, so digits stay text
        return "LONGTEXT";
    case MDB_REPID: // shown as {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
        return "VARCHAR(38)";
    case MDB_BINARY:
    case MDB_OLE:
    default:
        return "BLOB";
    }
}

} // namespace vdata
