#include "data/service/TextFold.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace vdata {
namespace {

char32_t lowerCodePoint(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
        const bool oddRun = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return (c % 2 == (oddRun ? 1u : 0u)) ? c + 1 : c;
    }
    return c;
}

// Lower-case Latin-1 letters from U+00DF to their base letters; null keeps
// the character (÷).
constexpr std::array<const char*, 33> kLatin1{
    "ss", "a", "a", "a", "a", "a", "a", "ae",    "c", "e", "e", "e", "e", "i", "i",  "i", "i",
    "d",  "n", "o", "o", "o", "o", "o", nullptr, "o", "u", "u", "u", "u", "y", "th", "y"};

struct Run {
    char32_t first;
    char32_t last;
    const char* base;
};

// Latin Extended-A, both cases, to base letters.
constexpr std::array<Run, 22> kLatinExtendedA{{
    {0x100, 0x105, "a"}, {0x106, 0x10D, "c"},  {0x10E, 0x111, "d"}, {0x112, 0x11B, "e"},
    {0x11C, 0x123, "g"}, {0x124, 0x127, "h"},  {0x128, 0x131, "i"}, {0x132, 0x133, "ij"},
    {0x134, 0x135, "j"}, {0x136, 0x138, "k"},  {0x139, 0x142, "l"}, {0x143, 0x14B, "n"},
    {0x14C, 0x151, "o"}, {0x152, 0x153, "oe"}, {0x154, 0x159, "r"}, {0x15A, 0x161, "s"},
    {0x162, 0x167, "t"}, {0x168, 0x173, "u"},  {0x174, 0x175, "w"}, {0x176, 0x178, "y"},
    {0x179, 0x17E, "z"}, {0x17F, 0x17F, "s"},
}};

// The folded form of one code point (see compareCollated), or null when it
// is its lower-case UTF-8 form.
const char* baseLetters(char32_t lower) {
    if (lower >= 0xDF && lower <= 0xFF) {
        return kLatin1[lower - 0xDF];
    }
    if (lower >= 0x300 && lower <= 0x36F) {
        return ""; // a combining accent
    }
    if (lower >= 0x100 && lower <= 0x17F) {
        for (const Run& r : kLatinExtendedA) {
            if (lower <= r.last) {
                return r.base;
            }
        }
    }
    return nullptr;
}

// The folded text, a byte at a time, without building it.
class CollatedBytes {
public:
    explicit CollatedBytes(std::string_view text) : text_(text) {}

    // The next byte, or -1 at the end.
    int next() {
        while (at_ == pending_.size()) {
            if (pos_ == text_.size()) {
                return -1;
            }
            const auto b = static_cast<unsigned char>(text_[pos_]);
            if (b < 0x80) {
                ++pos_;
                return b >= 'A' && b <= 'Z' ? b + 0x20 : b;
            }
            const char32_t lower = lowerCodePoint(decodeUtf8(text_, pos_));
            const char* base = baseLetters(lower);
            pending_.clear();
            if (base) {
                pending_ = base;
            } else {
                appendUtf8(pending_, lower);
            }
            at_ = 0;
        }
        return static_cast<unsigned char>(pending_[at_++]);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::string pending_; // short: stays in the string's own buffer
    std::size_t at_ = 0;
};

// Eight ASCII bytes, most significant first, capitals made small all at
// once: adding 0x7F - 'Z' to a byte sets its top bit when it is above 'Z',
// adding 0x80 - 'A' when it is 'A' or above; below 0x80, no byte carries
// into the next. A byte with the one bit and not the other gets 0x20.
std::uint64_t lowerAsciiWord(const unsigned char* bytes) {
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i) {
        word = (word << 8) | bytes[i];
    }
    constexpr std::uint64_t ones = 0x0101010101010101;
    const std::uint64_t aboveZ = word + ones * (0x7F - 'Z');
    const std::uint64_t fromA = word + ones * (0x80 - 'A');
    return word | ((fromA & ~aboveZ & (ones * 0x80)) >> 2);
}

// The key of text whose first seventeen bytes are ASCII (the usual case):
// its folded bytes are its bytes in lower case. Nothing for other text.
std::optional<CollationKey> asciiCollationKey(std::string_view text) {
    constexpr std::uint64_t highBits = 0x8080808080808080;
    std::array<unsigned char, 17> bytes{};
    std::copy_n(text.begin(), std::min(text.size(), bytes.size()), bytes.begin());
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::memcpy(&high, bytes.data(), 8);
    std::memcpy(&low, bytes.data() + 8, 8);
    if (((high | low) & highBits) != 0 || bytes[16] >= 0x80) {
        return std::nullopt;
    }
    return CollationKey{lowerAsciiWord(bytes.data()), lowerAsciiWord(bytes.data() + 8),
                        text.size() <= 16};
}

} // namespace

char32_t decodeUtf8(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return b;
    }
    char32_t c = b & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    i += extra + 1;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        appendUtf8(out, lowerCodePoint(decodeUtf8(text, i)));
    }
    return out;
}

bool matchesFolded(std::string_view text, std::string_view folded, bool whole) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::string unit; // one folded character; short, so it stays in the string
    while (j < folded.size()) {
        if (i >= text.size()) {
            return false;
        }
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if (static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b) != folded[j]) {
                return false;
            }
            ++i;
            ++j;
            continue;
        }
        unit.clear();
        appendUtf8(unit, lowerCodePoint(decodeUtf8(text, i)));
        if (folded.compare(j, unit.size(), unit) != 0) {
            return false;
        }
        j += unit.size();
    }
    return !whole || i == text.size();
}

bool containsFolded(std::string_view text, std::string_view folded) {
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool startsCharacter =
            i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && matchesFolded(text.substr(i), folded, false)) {
            return true;
        }
    }
    return false;
}

int compareCollated(std::string_view a, std::string_view b) {
    CollatedBytes x(a);
    CollatedBytes y(b);
    for (;;) {
        const int p = x.next();
        const int q = y.next();
        if (p != q) {
            return p < q ? -1 : 1;
        }
        if (p < 0) {
            return 0;
        }
    }
}

CollationKey collationKey(std::string_view text) {
    if (const std::optional<CollationKey> key = asciiCollationKey(text)) {
        return *key;
    }
    CollatedBytes bytes(text);
    const auto eight = [&bytes] {
        std::uint64_t part = 0;
        for (int i = 0; i < 8; ++i) {
            const int b = bytes.next();
            part = (part << 8) | static_cast<std::uint64_t>(b < 0 ? 0 : b);
        }
        return part;
    };
    CollationKey key;
    key.high = eight();
    key.low = eight();
    key.complete = bytes.next() < 0;
    return key;
}

} // namespace vdata
