#include "data/service/Field.h"

#include "data/service/DecimalText.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "data/service/TemporalText.h"
#include "data/service/TextHelpers.h"

namespace vdata {
namespace {

bool isTextType(FieldType t) {
    return t == FieldType::WideString || t == FieldType::Memo || t == FieldType::Unknown;
}

bool isTemporalType(FieldType t) {
    return t == FieldType::Date || t == FieldType::DateTime || t == FieldType::Time;
}

Value parseInteger(const std::string& text, const std::string& field) {
    std::int64_t v = 0;
    if (!parseInt(text, v)) {
        throw DataError("'" + text + "' is not a valid integer value for field " + field + ".");
    }
    return Value::integer(v);
}

Value parseNumber(const std::string& text, const std::string& field) {
    double v = 0;
    if (!parseReal(text, v)) {
        throw DataError("'" + text + "' is not a valid number for field " + field + ".");
    }
    return Value::real(v);
}

// Exact decimals stay text, so that every digit typed reaches the engine.
Value parseDecimal(const std::string& text, const std::string& field) {
    std::optional<std::string> exact = typedDecimalText(text);
    if (!exact) {
        throw DataError("'" + text + "' is not a valid number for field " + field + ".");
    }
    return Value::text(std::move(*exact));
}

Value parseBoolean(const std::string& text, const std::string& field) {
    for (const char* t : {"true", "yes", "1"}) {
        if (equalsIgnoreCase(text, t)) {
            return Value::integer(1);
        }
    }
    for (const char* f : {"false", "no", "0"}) {
        if (equalsIgnoreCase(text, f)) {
            return Value::integer(0);
        }
    }
    throw DataError("'" + text + "' is not a valid Boolean value for field " + field + ".");
}

} // namespace

Field::Field(Query& owner, int index, std::string name, FieldType type)
    : owner_(&owner), index_(index), name_(std::move(name)), type_(type) {}

Value Field::value() const {
    return owner_->currentValue(index_);
}

std::string Field::asString() const {
    return value().toText();
}

void Field::setValue(const Value& v) {
    owner_->setCurrentValue(index_, v);
}

void Field::setAsString(const std::string& text) {
    if (text.empty() && !isTextType(type_)) {
        setValue(Value::null());
        return;
    }
    if (isIntegerType(type_)) {
        setValue(parseInteger(text, name_));
    } else if (type_ == FieldType::Float) {
        setValue(parseNumber(text, name_));
    } else if (type_ == FieldType::Decimal) {
        setValue(parseDecimal(text, name_));
    } else if (type_ == FieldType::Boolean) {
        setValue(parseBoolean(text, name_));
    } else if (isTemporalType(type_)) {
        setValue(Value::text(temporalValueText(type_, text)));
    } else if (type_ == FieldType::Bytes) {
        throw DataError("Field " + name_ + " holds binary data, which cannot be typed in.");
    } else {
        setValue(Value::text(text));
    }
}

} // namespace vdata
