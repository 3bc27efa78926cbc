#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vdata {

// SQL text with its colon-prefixed parameters replaced by the engine's
// placeholders, and the parameter names in order of appearance.
struct ParsedSql {
    std::string text;
    std::vector<std::string> names;
};

// A parameter is ':' followed by a name that ends at a blank, a line break,
// ',', ';', ')' or the end of the text. "::" (a cast) and colons inside quoted
// text, quoted identifiers or comments are not parameters.
ParsedSql parseParameters(const std::string& sql,
                          const std::function<std::string(int)>& placeholder);

} // namespace vdata
