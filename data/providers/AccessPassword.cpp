#include "data/providers/AccessPassword.h"

#include "data/service/TextFold.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <utility>

namespace vdata {
namespace {

constexpr std::size_t versionAt = 0x14;
constexpr std::size_t maskedFrom = 0x18;
constexpr std::size_t passwordAt = 0x42;
constexpr std::size_t createdAt = 0x72; // a Date/Time value

using Header = std::array<unsigned char, 0x18 + 128>;

void rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t n) {
    std::array<unsigned char, 256> s{};
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<unsigned char>(i);
    }
    for (std::size_t i = 0, j = 0; i < s.size(); ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xff];
    }
}

// Access 97: single bytes, read as Latin-1.
std::string jet3Password(const Header& h) {
    std::string out;
    for (std::size_t i = 0; i < 20 && h[passwordAt + i] != 0; ++i) {
        appendUtf8(out, h[passwordAt + i]);
    }
    return out;
}

std::string jet4Password(const Header& h) {
    double created = 0;
    std::memcpy(&created, &h[createdAt], sizeof created);
    const bool fits = created > -2147483648.0 && created < 2147483648.0; // false for NaN
    const auto days = fits ? static_cast<std::uint32_t>(static_cast<std::int32_t>(created)) : 0u;
    std::string out;
    for (std::size_t i = 0; i < 40; i += 2) {
        const auto byte = [&](std::size_t k) {
            return static_cast<unsigned>(h[passwordAt + k] ^ ((days >> (8 * (k % 4))) & 0xff));
        };
        const unsigned c = byte(i) | (byte(i + 1) << 8);
        if (c == 0) {
            break;
        }
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

std::string accessPassword(const std::string& path) {
    Header h{};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(h.data()), h.size())) {
        return {};
    }
    const bool jet3 = h[versionAt] == 0;
    static constexpr unsigned char key[] = {0xc7, 0xda, 0x39, 0x6b};
    rc4(key, sizeof key, &h[maskedFrom], jet3 ? 126 : 128);
    return jet3 ? jet3Password(h) : jet4Password(h);
}

} // namespace vdata
