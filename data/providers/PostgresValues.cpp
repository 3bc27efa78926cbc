#include "data/providers/PostgresValues.h"

#include "data/providers/TypeMap.h"
#include "data/service/TextHelpers.h"

#include <libpq-fe.h>

namespace vdata {

namespace {

constexpr unsigned int moneyOid = 790;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// bytea in hex output ("\x0a1b"); the older escape format goes through libpq.
std::string decodeBytea(std::string_view text) {
    std::string bytes;
    if (text.size() >= 2 && text[0] == '\\' && text[1] == 'x') {
        bytes.reserve((text.size() - 2) / 2);
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            bytes += static_cast<char>(hexDigit(text[i]) * 16 + hexDigit(text[i + 1]));
        }
        return bytes;
    }
    std::string zeroTerminated(text);
    std::size_t length = 0;
    unsigned char* raw =
        PQunescapeBytea(reinterpret_cast<const unsigned char*>(zeroTerminated.c_str()), &length);
    if (raw != nullptr) {
        bytes.assign(reinterpret_cast<const char*>(raw), length);
        PQfreemem(raw);
    }
    return bytes;
}

// Money is read with lc_monetary = C ("-$1,234.50"): keep sign, digits and
// the decimal point.
std::string plainMoney(std::string_view text) {
    std::string out;
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == '.' || c == '-') {
            out += c;
        }
    }
    return out;
}

} // namespace

PgStorage storageForType(unsigned int oid) {
    if (oid == moneyOid) {
        return PgStorage::Money;
    }
    switch (postgresFieldType(oid)) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::LargeInt:
    case FieldType::AutoInc:
        return PgStorage::Int;
    case FieldType::Float:
        return PgStorage::Real;
    case FieldType::Boolean:
        return PgStorage::Bool;
    case FieldType::Bytes:
        return PgStorage::Bytes;
    default:
        return PgStorage::Text;
    }
}

Value pgCellValue(PgStorage storage, const char* data, int length) {
    if (data == nullptr) {
        return Value::null();
    }
    const std::string_view text(data, static_cast<std::size_t>(length));
    switch (storage) {
    case PgStorage::Int: {
        std::int64_t v = 0;
        return parseInt(text, v) ? Value::integer(v) : Value::text(std::string(text));
    }
    case PgStorage::Real: {
        double v = 0;
        return parseReal(text, v) ? Value::real(v) : Value::text(std::string(text));
    }
    case PgStorage::Bool:
        return Value::integer(text == "t" ? 1 : 0);
    case PgStorage::Bytes:
        return Value::blob(decodeBytea(text));
    case PgStorage::Money:
        return Value::text(plainMoney(text));
    case PgStorage::Text:
        break;
    }
    return Value::text(std::string(text));
}

void appendPgCell(Snapshot& rows, PgStorage storage, const char* data, int length) {
    const std::string_view text(data == nullptr ? "" : data, static_cast<std::size_t>(length));
    if (data == nullptr) {
        rows.appendNull();
    } else if (storage == PgStorage::Text) {
        rows.appendText(text);
    } else if (storage == PgStorage::Int) {
        std::int64_t v = 0;
        parseInt(text, v) ? rows.appendInt(v) : rows.appendText(text);
    } else if (storage == PgStorage::Real) {
        double v = 0;
        parseReal(text, v) ? rows.appendReal(v) : rows.appendText(text);
    } else {
        rows.appendValue(pgCellValue(storage, data, length));
    }
}

PgParams::PgParams(const std::vector<Value>& values) {
    texts_.reserve(values.size());
    for (const Value& v : values) {
        texts_.push_back(v.toText());
        lengths_.push_back(static_cast<int>(texts_.back().size()));
        formats_.push_back(v.kind == Value::Kind::Blob ? 1 : 0);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        values_.push_back(values[i].isNull() ? nullptr : texts_[i].c_str());
    }
}

} // namespace vdata
