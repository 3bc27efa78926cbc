#include "data/providers/accessreader/AccessReaderProtocol.h"

#include <cstring>
#include <stdexcept>

namespace vdata::accessreader {
namespace {

void putLittleEndian(std::string& out, std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
}

std::uint64_t littleEndian(std::string_view bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return v;
}

} // namespace

void MessageWriter::begin(Message type) {
    start_ = buffer_.size();
    buffer_.push_back(static_cast<char>(type));
    buffer_.append(4, '\0');
}

void MessageWriter::end() {
    const std::size_t length = buffer_.size() - start_ - headerSize;
    for (int i = 0; i < 4; ++i) {
        buffer_[start_ + 1 + i] = static_cast<char>((length >> (8 * i)) & 0xff);
    }
}

void MessageWriter::putInt(std::int64_t v) {
    putLittleEndian(buffer_, static_cast<std::uint64_t>(v), 8);
}

void MessageWriter::putBytes(std::string_view bytes) {
    putLittleEndian(buffer_, bytes.size(), 4);
    buffer_.append(bytes);
}

void MessageWriter::putValue(const Value& v) {
    buffer_.push_back(static_cast<char>(v.kind));
    switch (v.kind) {
    case Value::Kind::Int:
        putInt(v.i);
        break;
    case Value::Kind::Real: {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v.d, sizeof bits);
        putLittleEndian(buffer_, bits, 8);
        break;
    }
    case Value::Kind::Text:
    case Value::Kind::Blob:
        putBytes(v.s);
        break;
    case Value::Kind::Null:
        break;
    }
}

void MessageWriter::putColumn(const AccessColumn& c) {
    putBytes(c.name);
    putInt(c.type);
    putInt(c.autoNumber ? 1 : 0);
    putInt(c.precision);
    putInt(c.scale);
}

std::string_view MessageReader::take(std::size_t n) {
    if (n > rest_.size()) {
        throw std::out_of_range("message cut short");
    }
    const std::string_view part = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return part;
}

std::int64_t MessageReader::getInt() {
    return static_cast<std::int64_t>(littleEndian(take(8)));
}

std::string_view MessageReader::getBytes() {
    return take(static_cast<std::size_t>(littleEndian(take(4))));
}

void MessageReader::getValue(Value& v) {
    const auto kind = static_cast<Value::Kind>(take(1)[0]);
    v.kind = kind;
    switch (kind) {
    case Value::Kind::Int:
        v.i = getInt();
        break;
    case Value::Kind::Real: {
        const std::uint64_t bits = littleEndian(take(8));
        std::memcpy(&v.d, &bits, sizeof bits);
        break;
    }
    case Value::Kind::Text:
    case Value::Kind::Blob:
        v.s.assign(getBytes());
        break;
    case Value::Kind::Null:
        break;
    default:
        throw std::out_of_range("unknown value kind");
    }
}

AccessColumn MessageReader::getColumn() {
    AccessColumn c;
    c.name = std::string(getBytes());
    c.type = static_cast<int>(getInt());
    c.autoNumber = getInt() != 0;
    c.precision = static_cast<int>(getInt());
    c.scale = static_cast<int>(getInt());
    return c;
}

std::uint32_t payloadLength(const char* header) {
    return static_cast<std::uint32_t>(littleEndian(std::string_view(header + 1, 4)));
}

} // namespace vdata::accessreader
