#include "data/service/FieldType.h"

namespace vdata {

std::string_view fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::Unknown:
        return "Unknown";
    case FieldType::Integer:
        return "Integer";
    case FieldType::SmallInt:
        return "SmallInt";
    case FieldType::AutoInc:
        return "AutoInc";
    case FieldType::LargeInt:
        return "LargeInt";
    case FieldType::WideString:
        return "WideString";
    case FieldType::Memo:
        return "Memo";
    case FieldType::Date:
        return "Date";
    case FieldType::DateTime:
        return "DateTime";
    case FieldType::Time:
        return "Time";
    case FieldType::Float:
        return "Float";
    case FieldType::Decimal:
        return "Decimal";
    case FieldType::Boolean:
        return "Boolean";
    case FieldType::Bytes:
        return "Bytes";
    }
    return "Unknown";
}

bool isIntegerType(FieldType type) {
    return type == FieldType::Integer || type == FieldType::SmallInt ||
           type == FieldType::AutoInc || type == FieldType::LargeInt;
}

} // namespace vdata
