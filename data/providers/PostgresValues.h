#pragma once

#include "data/service/Snapshot.h"
#include "data/service/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// How a column's text from the server is kept: whole numbers and floats as
// numbers, bool as 0/1, bytea as bytes, money as a plain decimal ("1234.50"),
// everything else as the server's text (ISO dates, numeric digits).
enum class PgStorage { Int, Real, Bool, Bytes, Money, Text };

PgStorage storageForType(unsigned int oid);

// One cell in text result format; `data` is null for NULL.
Value pgCellValue(PgStorage storage, const char* data, int length);
void appendPgCell(Snapshot& rows, PgStorage storage, const char* data, int length);

// Query parameters for libpq: values as text (blobs in binary format), NULL
// as a null pointer. The pointers stay valid while this object lives.
class PgParams {
public:
    explicit PgParams(const std::vector<Value>& values);
    int count() const { return static_cast<int>(values_.size()); }
    const char* const* values() const { return values_.data(); }
    const int* lengths() const { return lengths_.data(); }
    const int* formats() const { return formats_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<const char*> values_;
    std::vector<int> lengths_;
    std::vector<int> formats_;
};

} // namespace vdata
