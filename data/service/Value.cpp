#include "data/service/Value.h"

#include <charconv>
#include <cmath>

namespace vdata {

std::string Value::toText() const {
    switch (kind) {
    case Kind::Null:
        return {};
    case Kind::Int:
        return std::to_string(i);
    case Kind::Real: {
        // Whole numbers print as integers, all but -0, whose sign that would drop.
        const bool negativeZero = d == 0 && std::signbit(d);
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15 && !negativeZero) {
            return std::to_string(static_cast<long long>(d));
        }
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
        return ec == std::errc() ? std::string(buf, end) : std::string();
    }
    case Kind::Text:
    case Kind::Blob:
        return s;
    }
    return {};
}

bool operator==(const Value& a, const Value& b) {
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
    case Value::Kind::Null:
        return true;
    case Value::Kind::Int:
        return a.i == b.i;
    case Value::Kind::Real:
        return a.d == b.d;
    case Value::Kind::Text:
    case Value::Kind::Blob:
        return a.s == b.s;
    }
    return false;
}

} // namespace vdata
