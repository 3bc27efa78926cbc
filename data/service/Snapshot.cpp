#include "data/service/Snapshot.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace vdata {
namespace {

constexpr int kMaxScale = 4;
constexpr double kPow10[kMaxScale + 1] = {1, 10, 100, 1000, 10000};
constexpr double kExact = 9007199254740992.0; // 2^53: integers up to here are exact doubles

std::int64_t bitsOf(double v) {
    std::int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double doubleOf(std::int64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// k such that k / 10^scale gives back exactly `v` (its bits, so -0.0 does
// not pass for 0), if there is one.
std::optional<std::int64_t> scaledInteger(double v, int scale) {
    const double scaled = v * kPow10[scale];
    if (!(std::fabs(scaled) < kExact)) {
        return std::nullopt;
    }
    const auto k = static_cast<std::int64_t>(std::nearbyint(scaled));
    if (bitsOf(static_cast<double>(k) / kPow10[scale]) != bitsOf(v)) {
        return std::nullopt;
    }
    return k;
}

} // namespace

Snapshot::Snapshot(std::size_t columns) : columns_(columns) {}

void Snapshot::makeRoom(std::size_t rows) {
    for (Column& c : columns_) {
        c.cells.makeRoom(rows);
    }
}

void Snapshot::shrinkToFit() {
    for (Column& c : columns_) {
        c.cells.shrinkToFit();
        c.kinds.shrink_to_fit();
    }
}

void Snapshot::push(Value::Kind kind, std::int64_t slot) {
    Column& c = columns_[nextColumn_];
    if (c.cells.size() == 0) {
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

std::int64_t Snapshot::slotOf(Column& c, const Value& v) {
    switch (v.kind) {
    case Value::Kind::Null:
        return 0;
    case Value::Kind::Int:
        return v.i;
    case Value::Kind::Real:
        return realSlot(c, v.d);
    case Value::Kind::Text:
        return textSlot(c, v.s);
    case Value::Kind::Blob:
        return arena_.store(v.s);
    }
    return 0;
}

std::int64_t Snapshot::textSlot(Column& c, std::string_view text) {
    if (!c.plainText) {
        if (!c.dictionary) {
            c.dictionary = std::make_unique<TextDictionary>();
        }
        if (const std::int64_t code = c.dictionary->codeOf(text); code >= 0) {
            return code;
        }
        dropDictionary(c);
    }
    return arena_.store(text);
}

// Too many distinct texts: each text cell gets its arena reference instead
// of its code, and the column stores texts plainly from now on.
void Snapshot::dropDictionary(Column& c) {
    std::vector<std::int64_t> refs(c.dictionary->size());
    for (std::size_t code = 0; code < refs.size(); ++code) {
        refs[code] = arena_.store(c.dictionary->text(static_cast<std::int64_t>(code)));
    }
    for (std::size_t r = 0; r < c.cells.size(); ++r) {
        if (c.kind(r) == Value::Kind::Text) {
            c.cells.set(r, refs[static_cast<std::size_t>(c.cells[r])]);
        }
    }
    c.dictionary.reset();
    c.plainText = true;
}

// A real that is a decimal of few places (a price, a measure) is kept as an
// integer at the column's scale, which rises as values need it; any other
// real turns the column to keeping the double's bits.
std::int64_t Snapshot::realSlot(Column& c, double v) {
    for (int scale = c.realScale; !c.realBits && scale <= kMaxScale; ++scale) {
        if (const auto k = scaledInteger(v, scale)) {
            if (scale == c.realScale || rescaleReals(c, scale)) {
                return *k;
            }
            break;
        }
    }
    keepRealBits(c);
    return bitsOf(v);
}

// Moves the column's real cells to a larger scale; false, changing nothing,
// when one of them would no longer be exact there.
bool Snapshot::rescaleReals(Column& c, int scale) {
    const auto factor = static_cast<std::int64_t>(kPow10[scale - c.realScale]);
    const auto limit = static_cast<std::int64_t>(kExact) / factor;
    for (std::size_t r = 0; r < c.cells.size(); ++r) {
        if (c.kind(r) == Value::Kind::Real && std::llabs(c.cells[r]) >= limit) {
            return false;
        }
    }
    for (std::size_t r = 0; r < c.cells.size(); ++r) {
        if (c.kind(r) == Value::Kind::Real) {
            c.cells.set(r, c.cells[r] * factor);
        }
    }
    c.realScale = scale;
    return true;
}

void Snapshot::keepRealBits(Column& c) {
    if (c.realBits) {
        return;
    }
    for (std::size_t r = 0; r < c.cells.size(); ++r) {
        if (c.kind(r) == Value::Kind::Real) {
            c.cells.set(r, bitsOf(static_cast<double>(c.cells[r]) / kPow10[c.realScale]));
        }
    }
    c.realBits = true;
}

void Snapshot::appendNull() {
    push(Value::Kind::Null, 0);
}
void Snapshot::appendInt(std::int64_t v) {
    push(Value::Kind::Int, v);
}
void Snapshot::appendReal(double v) {
    push(Value::Kind::Real, realSlot(columns_[nextColumn_], v));
}
void Snapshot::appendText(std::string_view v) {
    push(Value::Kind::Text, textSlot(columns_[nextColumn_], v));
}
void Snapshot::appendBlob(std::string_view v) {
    push(Value::Kind::Blob, arena_.store(v));
}

void Snapshot::appendValue(const Value& v) {
    push(v.kind, slotOf(columns_[nextColumn_], v));
}

std::size_t Snapshot::appendRow(const std::vector<Value>& values) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        appendValue(c < values.size() ? values[c] : Value::null());
    }
    return rows_ - 1;
}

double Snapshot::realAt(std::size_t row, std::size_t col) const {
    const Column& c = columns_[col];
    return c.realBits ? doubleOf(c.cells[row])
                      : static_cast<double>(c.cells[row]) / kPow10[c.realScale];
}

std::string_view Snapshot::bytesAt(std::size_t row, std::size_t col) const {
    const Column& c = columns_[col];
    const std::int64_t slot = c.cells[row];
    if (c.dictionary && c.kind(row) == Value::Kind::Text) {
        return c.dictionary->text(slot);
    }
    return arena_.bytes(slot);
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

// The slot is worked out before the cell's kind changes: a rescale or a
// dropped dictionary must see the column as it was.
void Snapshot::set(std::size_t row, std::size_t col, const Value& v) {
    Column& c = columns_[col];
    const std::int64_t slot = slotOf(c, v);
    c.setKind(row, v.kind);
    c.cells.set(row, slot);
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
    std::size_t total = arena_.memoryUsed();
    for (const Column& c : columns_) {
        total += c.kinds.capacity() * sizeof(Value::Kind) + c.cells.memoryUsed();
        if (c.dictionary) {
            total += c.dictionary->memoryUsed();
        }
    }
    return total;
}

} // namespace vdata
