#include "data/providers/TypeMap.h"

#include <array>

namespace vdata {

namespace {

struct OidType {
    unsigned int oid;
    FieldType type;
};

// Built-in type OIDs (pg_type.oid, stable across server versions). Types not
// listed arrive as the server's text and show as wide strings.
constexpr std::array<OidType, 20> oidTypes = {{
    {16, FieldType::Boolean},      // bool
    {17, FieldType::Bytes},        // bytea
    {18, FieldType::WideString},   // "char"
    {19, FieldType::WideString},   // name
    {20, FieldType::LargeInt},     // int8
    {21, FieldType::SmallInt},     // int2
    {23, FieldType::Integer},      // int4
    {25, FieldType::WideString},   // text
    {26, FieldType::LargeInt},     // oid (unsigned 32-bit)
    {700, FieldType::Float},       // float4
    {701, FieldType::Float},       // float8
    {790, FieldType::Decimal},     // money
    {1042, FieldType::WideString}, // bpchar
    {1043, FieldType::WideString}, // varchar
    {1082, FieldType::Date},       // date
    {1083, FieldType::Time},       // time
    {1114, FieldType::DateTime},   // timestamp
    {1184, FieldType::DateTime},   // timestamptz
    {1700, FieldType::Decimal},    // numeric
    {2950, FieldType::WideString}, // uuid
}};

} // namespace

FieldType postgresFieldType(unsigned int oid) {
    for (const OidType& entry : oidTypes) {
        if (entry.oid == oid) {
            return entry.type;
        }
    }
    return FieldType::WideString;
}

} // namespace vdata
