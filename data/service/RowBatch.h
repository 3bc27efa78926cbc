#pragma once

#include "data/service/Snapshot.h"
#include "data/service/Value.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// Rows as a reader hands them from one thread to another: cells in row
// order, texts and blobs copied into one buffer. Built like a Snapshot, with
// none of its packing, so that building it costs little.
class RowBatch {
public:
    explicit RowBatch(std::size_t columns) : columns_(columns) {}

    std::size_t columnCount() const { return columns_; }
    std::size_t rowCount() const { return columns_ == 0 ? 0 : cells_.size() / columns_; }
    // Empties the batch, keeping its memory for the next rows.
    void clear() {
        cells_.clear();
        bytes_.clear();
    }

    void appendNull() { cells_.push_back({Value::Kind::Null, 0, 0}); }
    void appendInt(std::int64_t v) { cells_.push_back({Value::Kind::Int, 0, v}); }
    void appendReal(double v) {
        cells_.push_back({Value::Kind::Real, 0, std::bit_cast<std::int64_t>(v)});
    }
    void appendText(std::string_view v) { appendBytes(Value::Kind::Text, v); }
    void appendBlob(std::string_view v) { appendBytes(Value::Kind::Blob, v); }

    // Appends rows first .. first + count - 1 to `rows`.
    void appendTo(Snapshot& rows, std::size_t first, std::size_t count) const {
        const auto* cell = cells_.data() + first * columns_;
        const auto* end = cell + count * columns_;
        for (; cell != end; ++cell) {
            switch (cell->kind) {
            case Value::Kind::Null:
                rows.appendNull();
                break;
            case Value::Kind::Int:
                rows.appendInt(cell->value);
                break;
            case Value::Kind::Real:
                rows.appendReal(std::bit_cast<double>(cell->value));
                break;
            case Value::Kind::Text:
                rows.appendText(bytesOf(*cell));
                break;
            case Value::Kind::Blob:
                rows.appendBlob(bytesOf(*cell));
                break;
            }
        }
    }

private:
    struct Cell {
        Value::Kind kind;
        std::uint32_t length; // of a text or blob
        std::int64_t value;   // an integer, a double's bits, or where the bytes start
    };

    void appendBytes(Value::Kind kind, std::string_view v) {
        cells_.push_back(
            {kind, static_cast<std::uint32_t>(v.size()), static_cast<std::int64_t>(bytes_.size())});
        bytes_.append(v);
    }
    std::string_view bytesOf(const Cell& c) const {
        return std::string_view(bytes_).substr(static_cast<std::size_t>(c.value), c.length);
    }

    std::size_t columns_;
    std::vector<Cell> cells_;
    std::string bytes_;
};

} // namespace vdata
