#include "data/providers/TypeMap.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <utility>

namespace vdata {
namespace {

// Declared types by name, after upper-casing and dropping "(n,m)".
constexpr std::array<std::pair<std::string_view, FieldType>, 38> kDeclared{{
    {"INT", FieldType::Integer},
    {"INTEGER", FieldType::Integer},
    {"MEDIUMINT", FieldType::Integer},
    {"LONG", FieldType::Integer},
    {"SMALLINT", FieldType::SmallInt},
    {"TINYINT", FieldType::SmallInt},
    {"BYTE", FieldType::SmallInt},
    {"BIGINT", FieldType::LargeInt},
    {"INT8", FieldType::LargeInt},
    {"COUNTER", FieldType::AutoInc},
    {"AUTOINCREMENT", FieldType::AutoInc},
    {"CHAR", FieldType::WideString},
    {"NCHAR", FieldType::WideString},
    {"CHARACTER", FieldType::WideString},
    {"VARCHAR", FieldType::WideString},
    {"NVARCHAR", FieldType::WideString},
    {"TEXT", FieldType::WideString},
    {"STRING", FieldType::WideString},
    {"MEMO", FieldType::Memo},
    {"CLOB", FieldType::Memo},
    {"NTEXT", FieldType::Memo},
    {"LONGTEXT", FieldType::Memo},
    {"DATE", FieldType::Date},
    {"DATETIME", FieldType::DateTime},
    {"TIMESTAMP", FieldType::DateTime},
    {"TIME", FieldType::Time},
    {"REAL", FieldType::Float},
    {"FLOAT", FieldType::Float},
    {"DOUBLE", FieldType::Float},
    {"DOUBLE PRECISION", FieldType::Float},
    {"DECIMAL", FieldType::Decimal},
    {"NUMERIC", FieldType::Decimal},
    {"MONEY", FieldType::Decimal},
    {"CURRENCY", FieldType::Decimal},
    {"BOOLEAN", FieldType::Boolean},
    {"BIT", FieldType::Boolean},
    {"BLOB", FieldType::Bytes},
    {"VARBINARY", FieldType::Bytes},
}};

std::string normalised(std::string_view declared) {
    std::string s(declared.substr(0, declared.find('(')));
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.pop_back();
    }
    return s;
}

// Names not in the table: SQLite's own affinity rules decide.
FieldType byAffinity(const std::string& s) {
    if (s.find("INT") != std::string::npos) {
        return FieldType::Integer;
    }
    if (s.find("CHAR") != std::string::npos || s.find("CLOB") != std::string::npos ||
        s.find("TEXT") != std::string::npos) {
        return FieldType::WideString;
    }
    if (s.find("BLOB") != std::string::npos || s.find("BINARY") != std::string::npos) {
        return FieldType::Bytes;
    }
    if (s.find("REAL") != std::string::npos || s.find("FLOA") != std::string::npos ||
        s.find("DOUB") != std::string::npos) {
        return FieldType::Float;
    }
    return FieldType::Decimal;
}

} // namespace

int sqliteDeclaredScale(std::string_view declaredType) {
    const std::string s = normalised(declaredType);
    if (s == "MONEY" || s == "CURRENCY") {
        return 2;
    }
    const std::size_t comma = declaredType.find(',');
    const std::size_t close = declaredType.find(')', comma);
    if ((s != "DECIMAL" && s != "NUMERIC") || comma == std::string_view::npos ||
        close == std::string_view::npos) {
        return -1;
    }
    int scale = 0;
    for (const char c : declaredType.substr(comma + 1, close - comma - 1)) {
        if (c == ' ') {
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c)) || scale > 100) {
            return -1;
        }
        scale = scale * 10 + (c - '0');
    }
    return scale;
}

FieldType sqliteFieldType(std::string_view declaredType, bool isRowidAlias) {
    if (isRowidAlias) {
        return FieldType::AutoInc;
    }
    const std::string s = normalised(declaredType);
    if (s.empty()) {
        return FieldType::Unknown;
    }
    for (const auto& [name, type] : kDeclared) {
        if (s == name) {
            return type;
        }
    }
    return byAffinity(s);
}

} // namespace vdata
