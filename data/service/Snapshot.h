#pragma once

#include "data/service/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vdata {

// A static, compact copy of a result: per column one kind byte and one 8-byte
// slot per row (the integer, the double's bits, or a reference into a chunked
// byte arena for text and blobs). Rows are only appended; an edited cell gets
// new arena bytes. A cell is read in constant time.
class Snapshot {
public:
    explicit Snapshot(std::size_t columns = 0);

    std::size_t columnCount() const { return columns_.size(); }
    std::size_t rowCount() const { return rows_; }

    // Building, cell by cell in column order; a row ends after its last column.
    void appendNull();
    void appendInt(std::int64_t v);
    void appendReal(double v);
    void appendText(std::string_view v);
    void appendBlob(std::string_view v);
    void appendValue(const Value& v);
    std::size_t appendRow(const std::vector<Value>& values); // returns the new row's index

    Value::Kind kind(std::size_t row, std::size_t col) const { return columns_[col].kind(row); }
    bool isNull(std::size_t row, std::size_t col) const {
        return kind(row, col) == Value::Kind::Null;
    }
    std::int64_t intAt(std::size_t row, std::size_t col) const;
    double realAt(std::size_t row, std::size_t col) const;
    std::string_view bytesAt(std::size_t row, std::size_t col) const; // text or blob
    Value value(std::size_t row, std::size_t col) const;
    std::vector<Value> row(std::size_t row) const;

    void set(std::size_t row, std::size_t col, const Value& v);
    void setRow(std::size_t row, const std::vector<Value>& values);

    std::size_t memoryUsed() const;

private:
    // A column whose cells all have one kind (the usual case) keeps that kind
    // once; a kind byte per cell appears with the first cell of another kind.
    struct Column {
        Value::Kind uniform = Value::Kind::Null;
        std::vector<Value::Kind> kinds; // empty while the column is uniform
        Value::Kind kind(std::size_t row) const { return kinds.empty() ? uniform : kinds[row]; }
        void setKind(std::size_t row, Value::Kind k);
        std::vector<std::uint64_t> cells;
    };

    std::uint64_t storeBytes(std::string_view bytes);
    void push(Value::Kind kind, std::uint64_t slot);

    std::vector<Column> columns_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> blockSizes_;
    std::size_t blockUsed_ = 0;  // bytes used in the last block
    std::size_t blockLimit_ = 0; // capacity of the last block
    std::size_t rows_ = 0;
    std::size_t nextColumn_ = 0;
};

} // namespace vdata
