#pragma once

#include <cstdint>
#include <string>

namespace vdata {

// One cell value as the service hands it out or takes it in. Snapshots do not
// store cells this way (they use typed column storage); this is the exchange
// format of a single value.
struct Value {
    enum class Kind : std::uint8_t { Null, Int, Real, Text, Blob };

    Kind kind = Kind::Null;
    std::int64_t i = 0;
    double d = 0;
    std::string s; // text (UTF-8) or blob bytes

    static Value null() { return {}; }
    static Value integer(std::int64_t v) { return Value{Kind::Int, v, 0, {}}; }
    static Value real(double v) { return Value{Kind::Real, 0, v, {}}; }
    static Value text(std::string v) { return Value{Kind::Text, 0, 0, std::move(v)}; }
    static Value blob(std::string bytes) { return Value{Kind::Blob, 0, 0, std::move(bytes)}; }

    bool isNull() const { return kind == Kind::Null; }

    // The value as text: empty for NULL, decimal for numbers (shortest form
    // that reads back exactly), the bytes for text and blobs.
    std::string toText() const;

    friend bool operator==(const Value& a, const Value& b);
};

} // namespace vdata
