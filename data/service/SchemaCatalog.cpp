#include "data/service/SchemaCatalog.h"

#include "data/service/Enclose.h"
#include "data/service/SqlKeywords.h"
#include "data/service/TextFold.h"

#include <algorithm>

namespace vdata {

namespace {

bool isPlainIdentifier(std::string_view name, bool lowerOnly) {
    const auto letter = [lowerOnly](char c) {
        return (c >= 'a' && c <= 'z') || c == '_' || (!lowerOnly && c >= 'A' && c <= 'Z');
    };
    if (name.empty() || !letter(name.front())) {
        return false;
    }
    return std::all_of(name.begin(), name.end(),
                       [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

} // namespace

std::string nameInSql(std::string_view name, const NameQuoting& quoting) {
    if (isPlainIdentifier(name, quoting.foldsToLower) && !isSqlKeyword(name)) {
        return std::string(name);
    }
    return enclose(name, quoting.open, quoting.close);
}

void SchemaCatalog::buildIndex() {
    byFoldedName_.clear();
    byFoldedName_.reserve(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        byFoldedName_.emplace_back(foldCase(tables[i].name), i);
    }
    std::sort(byFoldedName_.begin(), byFoldedName_.end());
}

std::vector<const SchemaCatalog::Table*>
SchemaCatalog::tablesStartingWith(std::string_view prefix) const {
    const std::string folded = foldCase(prefix);
    auto at = std::lower_bound(
        byFoldedName_.begin(), byFoldedName_.end(), folded,
        [](const auto& entry, const std::string& key) { return entry.first < key; });
    std::vector<const Table*> found;
    for (; at != byFoldedName_.end() && at->first.starts_with(folded); ++at) {
        found.push_back(&tables[at->second]);
    }
    return found;
}

const SchemaCatalog::Table* SchemaCatalog::find(std::string_view name) const {
    const std::string folded = foldCase(name);
    auto at = std::lower_bound(
        byFoldedName_.begin(), byFoldedName_.end(), folded,
        [](const auto& entry, const std::string& key) { return entry.first < key; });
    return at != byFoldedName_.end() && at->first == folded ? &tables[at->second] : nullptr;
}

} // namespace vdata
