#include "data/providers/MariaDbValues.h"

#include "data/providers/MariaDbSession.h"
#include "data/providers/TypeMap.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <memory>

namespace vdata {

namespace {

constexpr unsigned int binaryCharset = 63;
constexpr unsigned long firstBufferSize = 64;

struct MetadataDeleter {
    void operator()(MYSQL_RES* r) const { mysql_free_result(r); }
};

bool isInteger(int type) {
    return type == MYSQL_TYPE_TINY || type == MYSQL_TYPE_SHORT || type == MYSQL_TYPE_INT24 ||
           type == MYSQL_TYPE_LONG || type == MYSQL_TYPE_LONGLONG || type == MYSQL_TYPE_YEAR;
}

bool isTemporal(int type) {
    return type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_NEWDATE || type == MYSQL_TYPE_DATETIME ||
           type == MYSQL_TYPE_TIMESTAMP || type == MYSQL_TYPE_TIME;
}

// A FLOAT column's value as it prints, so 0.1 stays 0.1 as a double.
double widened(float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    *end = '\0';
    return std::strtod(text, nullptr);
}

// `value` in at least `width` digits, zeros in front.
void appendDigits(std::string& out, unsigned long value, int width) {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(static_cast<std::size_t>(std::max<long>(0, width - (end - digits))), '0');
    out.append(digits, end);
}

// The first `decimals` digits of the microseconds after a point; nothing
// for a type without fractions.
void appendFraction(std::string& out, unsigned long micro, unsigned int decimals) {
    if (decimals == 0 || decimals > 6) {
        return;
    }
    out += '.';
    std::string six;
    appendDigits(six, micro % 1000000, 6);
    out.append(six, 0, decimals);
}

} // namespace

MariaDbRow::MariaDbRow(MYSQL_STMT* stmt) : stmt_(stmt) {
    const std::unique_ptr<MYSQL_RES, MetadataDeleter> meta(mysql_stmt_result_metadata(stmt));
    const unsigned int count = meta ? mysql_num_fields(meta.get()) : 0;
    columns_.resize(count);
    cells_.resize(count);
    binds_.resize(count);
    const MYSQL_FIELD* fields = meta ? mysql_fetch_fields(meta.get()) : nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const MYSQL_FIELD& f = fields[i];
        ColumnInfo& c = columns_[i];
        c.name = f.name;
        c.type = mariaDbFieldType(f.type, f.flags, f.length, f.charsetnr == binaryCharset);
        if (f.org_table != nullptr && f.org_name != nullptr && *f.org_name != '\0') {
            c.table = f.org_table;
            c.column = f.org_name;
        }
        if (c.type == FieldType::Decimal) {
            c.scale = static_cast<int>(f.decimals);
        }
        bindColumn(i, f);
    }
    if (count > 0 && mysql_stmt_bind_result(stmt, binds_.data()) != 0) {
        throw mariaDbError(stmt);
    }
}

void MariaDbRow::bindColumn(std::size_t i, const MYSQL_FIELD& f) {
    Cell& c = cells_[i];
    MYSQL_BIND& b = binds_[i];
    b = MYSQL_BIND{};
    b.is_null = &c.isNull;
    b.error = &c.error;
    b.length = &c.length;
    c.decimals = f.decimals;
    if (isInteger(f.type)) {
        c.kind = (f.flags & UNSIGNED_FLAG) != 0 ? Kind::UInt : Kind::Int;
        b.buffer_type = MYSQL_TYPE_LONGLONG;
        b.buffer = &c.number;
        b.is_unsigned = c.kind == Kind::UInt;
    } else if (f.type == MYSQL_TYPE_FLOAT) {
        c.kind = Kind::Float;
        b.buffer_type = MYSQL_TYPE_FLOAT;
        b.buffer = &c.single;
    } else if (f.type == MYSQL_TYPE_DOUBLE) {
        c.kind = Kind::Double;
        b.buffer_type = MYSQL_TYPE_DOUBLE;
        b.buffer = &c.real;
    } else if (isTemporal(f.type)) {
        c.kind = f.type == MYSQL_TYPE_TIME                                   ? Kind::Time
                 : f.type == MYSQL_TYPE_DATE || f.type == MYSQL_TYPE_NEWDATE ? Kind::Date
                                                                             : Kind::DateTime;
        b.buffer_type = static_cast<enum_field_types>(f.type);
        b.buffer = &c.time;
    } else {
        const bool binary = f.charsetnr == binaryCharset && f.type != MYSQL_TYPE_NEWDECIMAL &&
                            f.type != MYSQL_TYPE_DECIMAL;
        c.kind = f.type == MYSQL_TYPE_BIT ? Kind::Bit : binary ? Kind::Bytes : Kind::Text;
        c.bytes.resize(firstBufferSize);
        b.buffer_type = MYSQL_TYPE_BLOB;
        b.buffer = c.bytes.data();
        b.buffer_length = firstBufferSize;
    }
}

// A value longer than its buffer is read again into one of its length.
bool MariaDbRow::accept(int rc) {
    if (rc == MYSQL_NO_DATA) {
        return false;
    }
    if (rc == 1) {
        throw mariaDbError(stmt_);
    }
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        Cell& c = cells_[i];
        MYSQL_BIND& b = binds_[i];
        if (b.buffer_type != MYSQL_TYPE_BLOB || c.isNull || c.length <= b.buffer_length) {
            continue;
        }
        c.bytes.resize(c.length);
        b.buffer = c.bytes.data();
        b.buffer_length = c.length;
        if (mysql_stmt_fetch_column(stmt_, &b, static_cast<unsigned int>(i), 0) != 0) {
            throw mariaDbError(stmt_);
        }
    }
    if (rc == MYSQL_DATA_TRUNCATED) {
        // Buffers grown above keep their size: the next rows fit at once.
        mysql_stmt_bind_result(stmt_, binds_.data());
    }
    return true;
}

// Dates as yyyy-MM-dd, a zero date included; times may pass 24 hours.
void MariaDbRow::appendTime(std::string& out, const Cell& c) {
    const MYSQL_TIME& t = c.time;
    if (c.kind == Kind::Time) {
        if (t.neg) {
            out += '-';
        }
        appendDigits(out, t.day * 24UL + t.hour, 2);
    } else {
        appendDigits(out, t.year, 4);
        out += '-';
        appendDigits(out, t.month, 2);
        out += '-';
        appendDigits(out, t.day, 2);
        if (c.kind == Kind::Date) {
            return;
        }
        out += ' ';
        appendDigits(out, t.hour, 2);
    }
    out += ':';
    appendDigits(out, t.minute, 2);
    out += ':';
    appendDigits(out, t.second, 2);
    appendFraction(out, t.second_part, c.decimals);
}

Value MariaDbRow::value(std::size_t column) const {
    const Cell& c = cells_[column];
    if (c.isNull) {
        return Value::null();
    }
    const std::string_view bytes(c.bytes.data(), std::min<std::size_t>(c.length, c.bytes.size()));
    switch (c.kind) {
    case Kind::Int:
        return Value::integer(c.number);
    case Kind::UInt:
        return c.number >= 0
                   ? Value::integer(c.number)
                   : Value::text(std::to_string(static_cast<unsigned long long>(c.number)));
    case Kind::Float:
        return Value::real(widened(c.single));
    case Kind::Double:
        return Value::real(c.real);
    case Kind::Date:
    case Kind::DateTime:
    case Kind::Time: {
        std::string out;
        appendTime(out, c);
        return Value::text(std::move(out));
    }
    case Kind::Bit: {
        unsigned long long bits = 0;
        for (const char byte : bytes) {
            bits = (bits << 8) | static_cast<unsigned char>(byte);
        }
        return Value::integer(static_cast<long long>(bits));
    }
    case Kind::Bytes:
        return Value::blob(std::string(bytes));
    case Kind::Text:
        break;
    }
    return Value::text(std::string(bytes));
}

// The common kinds go into the snapshot straight from the buffers, with no
// value made for each cell.
void MariaDbRow::appendTo(Snapshot& rows) const {
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const Cell& c = cells_[i];
        if (c.isNull) {
            rows.appendNull();
            continue;
        }
        switch (c.kind) {
        case Kind::Int:
            rows.appendInt(c.number);
            break;
        case Kind::Double:
            rows.appendReal(c.real);
            break;
        case Kind::Text:
            rows.appendText({c.bytes.data(), c.length});
            break;
        case Kind::Date:
        case Kind::DateTime:
        case Kind::Time:
            timeText_.clear();
            appendTime(timeText_, c);
            rows.appendText(timeText_);
            break;
        default:
            rows.appendValue(value(i));
        }
    }
}

MariaDbParams::MariaDbParams(const std::vector<Value>& values)
    : values_(values), binds_(values.size()), lengths_(values.size()) {
    for (std::size_t i = 0; i < values_.size(); ++i) {
        Value& v = values_[i];
        MYSQL_BIND& b = binds_[i];
        switch (v.kind) {
        case Value::Kind::Null:
            b.buffer_type = MYSQL_TYPE_NULL;
            break;
        case Value::Kind::Int:
            b.buffer_type = MYSQL_TYPE_LONGLONG;
            b.buffer = &v.i;
            break;
        case Value::Kind::Real:
            b.buffer_type = MYSQL_TYPE_DOUBLE;
            b.buffer = &v.d;
            break;
        case Value::Kind::Text:
        case Value::Kind::Blob:
            b.buffer_type = v.kind == Value::Kind::Text ? MYSQL_TYPE_STRING : MYSQL_TYPE_BLOB;
            b.buffer = v.s.data();
            lengths_[i] = v.s.size();
            b.buffer_length = v.s.size();
            b.length = &lengths_[i];
            break;
        }
    }
}

} // namespace vdata
