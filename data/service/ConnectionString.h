#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vdata {

// A parsed "key=value;key=value" string. Keys compare without regard to case;
// values are kept verbatim (no trimming), except that a value written in
// double quotes is read without them, a doubled '"' inside as one '"', so it
// may hold ';' and '='.
class ConnectionString {
public:
    explicit ConnectionString(std::string_view text);

    bool has(std::string_view key) const;
    // The value of the last occurrence of key, or empty.
    std::string value(std::string_view key) const;
    // Every key and value in the order written (the fuzz target checks them).
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

// A value as it is written into a connection string: in double quotes (a '"'
// inside doubled) when it holds ';', '=' or a quote, or starts or ends with
// a blank; otherwise as it is.
std::string connectionValue(std::string_view value);

} // namespace vdata
