#pragma once

#include "data/service/FieldType.h"
#include "data/service/Value.h"

#include <string>

namespace vdata {

class Query;

// A column of an open query, seen at the query's current record. Fields live
// from the query's open to its close; reopening makes new fields.
class Field {
public:
    Field(Query& owner, int index, std::string name, FieldType type);

    const std::string& name() const { return name_; }
    const std::string& displayName() const { return name_; }
    FieldType dataType() const { return type_; }
    int index() const { return index_; }
    Query& dataSet() const { return *owner_; }

    // The current record's value (the edit buffer while editing/inserting).
    Value value() const;
    bool isNull() const { return value().isNull(); }
    // The value as text: empty for NULL; dates as yyyy-MM-dd.
    std::string asString() const;

    // Change the value in the edit buffer. A browsing query goes into edit
    // first. Text is converted to the field's type; an empty text makes a
    // non-text field NULL. Dates and times must be typed in their form
    // (yyyy-MM-dd, yyyy-MM-dd HH:mm:ss, HH:mm:ss). Decimals are kept as their
    // exact text and left to the engine to store. A text that cannot be
    // converted raises DataError and leaves the edit buffer as it was.
    void setValue(const Value& v);
    void setAsString(const std::string& text);

private:
    Query* owner_;
    int index_;
    std::string name_;
    FieldType type_;
};

} // namespace vdata
