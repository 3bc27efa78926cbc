#include "data/service/Snapshot.h"

#include <cstring>

namespace vdata {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

std::uint64_t bitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double doubleOf(std::uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::size_t varintSize(std::size_t n) {
    std::size_t size = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++size;
    }
    return size;
}

} // namespace

Snapshot::Snapshot(std::size_t columns) : columns_(columns) {}

void Snapshot::push(Value::Kind kind, std::uint64_t slot) {
    Column& c = columns_[nextColumn_];
    if (c.cells.empty()) {
        c.uniform = kind;
    } else if (!c.kinds.empty() || kind != c.uniform) {
        c.setKind(c.cells.size(), kind);
    }
    c.cells.push_back(slot);
    if (++nextColumn_ == columns_.size()) {
        nextColumn_ = 0;
        ++rows_;
    }
}

// Bytes are kept in 1 MiB blocks (a larger value gets a block of its own),
// each prefixed with its length as a varint. The slot holds block and offset.
std::uint64_t Snapshot::storeBytes(std::string_view bytes) {
    const std::size_t need = varintSize(bytes.size()) + bytes.size();
    if (blocks_.empty() || blockUsed_ + need > blockLimit_) {
        blockLimit_ = need > kBlockSize ? need : kBlockSize;
        // Not zero-filled: a block takes memory only as far as it is written.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockLimit_));
        blockSizes_.push_back(blockLimit_);
        blockUsed_ = 0;
    }
    char* p = blocks_.back().get() + blockUsed_;
    const std::uint64_t slot = (static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | blockUsed_;
    std::size_t n = bytes.size();
    while (n >= 0x80) {
        *p++ = static_cast<char>((n & 0x7f) | 0x80);
        n >>= 7;
    }
    *p++ = static_cast<char>(n);
    if (!bytes.empty()) {
        std::memcpy(p, bytes.data(), bytes.size());
    }
    blockUsed_ += need;
    return slot;
}

void Snapshot::appendNull() {
    push(Value::Kind::Null, 0);
}
void Snapshot::appendInt(std::int64_t v) {
    push(Value::Kind::Int, static_cast<std::uint64_t>(v));
}
void Snapshot::appendReal(double v) {
    push(Value::Kind::Real, bitsOf(v));
}
void Snapshot::appendText(std::string_view v) {
    push(Value::Kind::Text, storeBytes(v));
}
void Snapshot::appendBlob(std::string_view v) {
    push(Value::Kind::Blob, storeBytes(v));
}

void Snapshot::appendValue(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Null:
        appendNull();
        break;
    case Value::Kind::Int:
        appendInt(v.i);
        break;
    case Value::Kind::Real:
        appendReal(v.d);
        break;
    case Value::Kind::Text:
        appendText(v.s);
        break;
    case Value::Kind::Blob:
        appendBlob(v.s);
        break;
    }
}

std::size_t Snapshot::appendRow(const std::vector<Value>& values) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        appendValue(c < values.size() ? values[c] : Value::null());
    }
    return rows_ - 1;
}

std::int64_t Snapshot::intAt(std::size_t row, std::size_t col) const {
    return static_cast<std::int64_t>(columns_[col].cells[row]);
}

double Snapshot::realAt(std::size_t row, std::size_t col) const {
    return doubleOf(columns_[col].cells[row]);
}

std::string_view Snapshot::bytesAt(std::size_t row, std::size_t col) const {
    const std::uint64_t slot = columns_[col].cells[row];
    const char* p = blocks_[slot >> 32].get() + (slot & 0xffffffffu);
    std::size_t n = 0;
    int shift = 0;
    unsigned char b;
    do {
        b = static_cast<unsigned char>(*p++);
        n |= static_cast<std::size_t>(b & 0x7f) << shift;
        shift += 7;
    } while (b & 0x80);
    return {p, n};
}

Value Snapshot::value(std::size_t row, std::size_t col) const {
    switch (kind(row, col)) {
    case Value::Kind::Null:
        return Value::null();
    case Value::Kind::Int:
        return Value::integer(intAt(row, col));
    case Value::Kind::Real:
        return Value::real(realAt(row, col));
    case Value::Kind::Text:
        return Value::text(std::string(bytesAt(row, col)));
    case Value::Kind::Blob:
        return Value::blob(std::string(bytesAt(row, col)));
    }
    return Value::null();
}

std::vector<Value> Snapshot::row(std::size_t r) const {
    std::vector<Value> values;
    values.reserve(columns_.size());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        values.push_back(value(r, c));
    }
    return values;
}

void Snapshot::set(std::size_t row, std::size_t col, const Value& v) {
    Column& c = columns_[col];
    c.setKind(row, v.kind);
    switch (v.kind) {
    case Value::Kind::Null:
        c.cells[row] = 0;
        break;
    case Value::Kind::Int:
        c.cells[row] = static_cast<std::uint64_t>(v.i);
        break;
    case Value::Kind::Real:
        c.cells[row] = bitsOf(v.d);
        break;
    case Value::Kind::Text:
    case Value::Kind::Blob:
        c.cells[row] = storeBytes(v.s);
        break;
    }
}

void Snapshot::setRow(std::size_t row, const std::vector<Value>& values) {
    for (std::size_t c = 0; c < columns_.size() && c < values.size(); ++c) {
        set(row, c, values[c]);
    }
}

void Snapshot::Column::setKind(std::size_t row, Value::Kind k) {
    if (kinds.empty()) {
        if (k == uniform) {
            return;
        }
        kinds.assign(cells.size(), uniform);
    }
    if (row == kinds.size()) {
        kinds.push_back(k);
    } else {
        kinds[row] = k;
    }
}

std::size_t Snapshot::memoryUsed() const {
    std::size_t total = 0;
    for (const Column& c : columns_) {
        total +=
            c.kinds.capacity() * sizeof(Value::Kind) + c.cells.capacity() * sizeof(std::uint64_t);
    }
    for (std::size_t s : blockSizes_) {
        total += s;
    }
    return total;
}

} // namespace vdata
