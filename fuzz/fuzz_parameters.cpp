// The parameter scanner: any text scans; text without a colon comes back
// unchanged; names are never empty and never hold a character that ends a
// name; each name got exactly one placeholder.
#include "data/service/Parameters.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    int calls = 0;
    const vdata::ParsedSql parsed = vdata::parseParameters(sql, [&](int n) {
        ++calls;
        FUZZ_CHECK(n == calls);
        return "$" + std::to_string(n);
    });

    FUZZ_CHECK(static_cast<std::size_t>(calls) == parsed.names.size());
    if (sql.find(':') == std::string::npos) {
        FUZZ_CHECK(parsed.text == sql);
        FUZZ_CHECK(parsed.names.empty());
    }
    for (const std::string& name : parsed.names) {
        FUZZ_CHECK(!name.empty());
        FUZZ_CHECK(name.find_first_of(" \t\r\n,;)") == std::string::npos);
        FUZZ_CHECK(sql.find(":" + name) != std::string::npos);
    }
    return 0;
}
