#include "data/providers/AccessTableCopier.h"

#include "data/service/Errors.h"
#include "data/service/Progress.h"
#include "data/service/SqlLexer.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace vdata {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

AccessTableCopier::AccessTableCopier(AccessReaderProcess& reader, sqlite3* db)
    : reader_(reader), db_(db) {
    for (const std::string& table : reader.tables()) {
        tables_.emplace(lower(table), table);
    }
}

std::string AccessTableCopier::tableNamed(const std::string& name) const {
    const auto it = tables_.find(lower(name));
    return it == tables_.end() ? std::string() : it->second;
}

void AccessTableCopier::copyTablesNamedIn(const std::string& sql) {
    for (const SqlToken& t : lexSql(sql)) {
        if (t.kind != SqlToken::Kind::Word && t.kind != SqlToken::Kind::Quoted) {
            continue;
        }
        const std::string table = tableNamed(identifierText(t));
        if (table.empty() || copied(table)) {
            continue;
        }
        dropFailedCopy(table);
        if (inSteps_.contains(table)) {
            copyUntil(table, std::numeric_limits<std::int64_t>::max());
        } else {
            copy(table);
        }
    }
}

void AccessTableCopier::copy(const std::string& table) {
    AccessTableCopy copy(reader_, db_, table);
    copy.finish();
    copied_.insert(table);
}

// A copy that failed keeps its rows for the reads that show them until
// another copy of the table starts.
void AccessTableCopier::dropFailedCopy(const std::string& table) {
    if (const auto it = inSteps_.find(table); it != inSteps_.end() && it->second->failure()) {
        inSteps_.erase(it);
    }
}

void AccessTableCopier::startInSteps(const std::string& table) {
    dropFailedCopy(table);
    if (stopped_ || copied(table) || inSteps_.contains(table)) {
        return;
    }
    inSteps_.emplace(table, std::make_unique<AccessTableCopy>(
                                std::make_unique<AccessReaderProcess>(reader_.path()), db_, table));
}

AccessTableCopier::State AccessTableCopier::stateOf(const std::string& table) const {
    if (stopped_) {
        throw DataError("The connection is closed.", ErrorKind::Connection);
    }
    if (copied(table)) {
        return {0, true, nullptr};
    }
    const auto it = inSteps_.find(table);
    if (it == inSteps_.end()) {
        throw DataError("The table " + table + " is not being read.");
    }
    return {it->second->rows(), false, it->second->failure()};
}

AccessTableCopier::State AccessTableCopier::copySome(const std::string& table, std::size_t maxRows,
                                                     std::chrono::milliseconds wait) {
    const auto it = inSteps_.find(table);
    if (it == inSteps_.end() || it->second->failure()) {
        return stateOf(table);
    }
    try {
        it->second->copySome(maxRows, wait);
    } catch (const DataError&) {
        return stateOf(table); // the copy keeps what ended it
    }
    if (it->second->whole()) {
        inSteps_.erase(it);
        copied_.insert(table);
    }
    return stateOf(table);
}

// A cancel between steps leaves the copy going, for the rows shown meanwhile.
void AccessTableCopier::copyUntil(const std::string& table, std::int64_t rows) {
    constexpr std::chrono::milliseconds stepWait{100};
    for (State state = stateOf(table); !state.whole && state.rows < rows;) {
        const auto left = static_cast<std::size_t>(rows - state.rows);
        state = copySome(table, std::min(left, progressStep), stepWait);
        if (state.failure) {
            std::rethrow_exception(state.failure);
        }
        checkProgress(static_cast<std::size_t>(state.rows));
    }
}

void AccessTableCopier::stop() noexcept {
    stopped_ = true;
    inSteps_.clear();
}

} // namespace vdata
