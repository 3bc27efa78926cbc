#pragma once

#include "data/service/SqlLexer.h"

#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// The SQL keywords most engines reserve, upper case, in alphabetical order.
const std::vector<std::string>& sqlKeywords();
// Whether `word` is one of them, letter case ignored: such a name needs
// quotes, and such a word is no alias.
bool isSqlKeyword(std::string_view word);
// The keywords only `family`'s engine has, upper case.
const std::vector<std::string>& familyKeywords(SqlFamily family);

// Functions that every engine here knows, upper case.
const std::vector<std::string>& commonSqlFunctions();

} // namespace vdata
