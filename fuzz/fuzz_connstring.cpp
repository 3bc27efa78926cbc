// Connection strings: any text parses; every key found is not empty, holds
// no '=' or ';' and answers has(); value() gives the last occurrence; writing
// the pairs back out (values quoted where they need it) and parsing again
// gives the same pairs.
#include "data/service/ConnectionString.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vdata::ConnectionString parsed(text);

    std::string written;
    for (const auto& [key, value] : parsed.pairs()) {
        FUZZ_CHECK(!key.empty());
        FUZZ_CHECK(key.find_first_of("=;") == std::string::npos);
        FUZZ_CHECK(parsed.has(key));
        written += key + "=" + vdata::connectionValue(value) + ";";
    }
    if (!parsed.pairs().empty()) {
        const auto& last = parsed.pairs().back();
        FUZZ_CHECK(parsed.value(last.first) == last.second);
    }
    FUZZ_CHECK(vdata::ConnectionString(written).pairs() == parsed.pairs());
    return 0;
}
