#include "data/providers/OdbcKeyRangeStream.h"

#include "data/providers/OdbcResult.h"
#include "data/service/Dialect.h"
#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include <algorithm>

namespace vdata {

namespace {

// The most rows a chunk takes: drivers that keep a whole result in memory
// keep no more than this.
constexpr std::size_t largestChunk = 65536;

std::string commaList(const std::vector<std::string>& names, const char* suffix = "") {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name + suffix;
    }
    return text;
}

bool sameColumns(const std::vector<ColumnInfo>& a, const std::vector<ColumnInfo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.type == y.type;
    });
}

} // namespace

OdbcKeyRangeStream::OdbcKeyRangeStream(OdbcSession& session, bool trustSizes,
                                       const std::vector<std::string>& key,
                                       std::shared_ptr<OdbcWrittenKeys> written)
    : session_(session), trustSizes_(trustSizes), table_(bracketName(written->table)), names_(key),
      written_(std::move(written)) {
    for (const std::string& name : key) {
        key_.push_back(bracketName(name));
    }
}

std::optional<SteppedResult> OdbcKeyRangeStream::open(OdbcSession& session, bool trustSizes,
                                                      const std::vector<std::string>& key,
                                                      std::shared_ptr<OdbcWrittenKeys> written,
                                                      std::size_t count) {
    std::unique_ptr<OdbcKeyRangeStream> stream(
        new OdbcKeyRangeStream(session, trustSizes, key, std::move(written)));
    stream->findEnd();
    SteppedResult result;
    stream->readChunk(result.rows, std::max<std::size_t>(count, 1));
    if (stream->keyAt_.size() != stream->key_.size()) {
        return std::nullopt;
    }
    result.columns = stream->columns_;
    if (!stream->done_) {
        result.rest = std::move(stream);
    }
    return result;
}

bool OdbcKeyRangeStream::readMore(Snapshot& rows, std::size_t maxRows) {
    if (!done_) {
        readChunk(rows, std::clamp<std::size_t>(maxRows, 1, largestChunk));
    }
    return !done_;
}

// The key of the last row at the start, where the read ends.
void OdbcKeyRangeStream::findEnd() {
    const OdbcHandle stmt = run("SELECT TOP 1 " + commaList(key_) + " FROM " + table_ +
                                    " ORDER BY " + commaList(key_, " DESC"),
                                {});
    std::vector<OdbcColumnPlan> plans;
    Snapshot end(describeOdbcColumns(stmt, trustSizes_, plans).size());
    fetchOdbcRows(stmt, plans, end);
    if (end.rowCount() > 0) {
        end_ = end.row(0);
    }
}

// The result column of each key column, by name as SELECT * gives it.
bool OdbcKeyRangeStream::findKey() {
    const bool fold = session_.info().namesFoldCase;
    for (const std::string& name : names_) {
        const auto at = std::find_if(columns_.begin(), columns_.end(), [&](const ColumnInfo& c) {
            return fold ? equalsIgnoreCase(c.name, name) : c.name == name;
        });
        if (at == columns_.end()) {
            return false;
        }
        keyAt_.push_back(static_cast<std::size_t>(at - columns_.begin()));
    }
    return true;
}

OdbcHandle OdbcKeyRangeStream::run(const std::string& sql, const std::vector<Value>& params) {
    OdbcHandle stmt = session_.statement();
    std::u16string text = toUtf16(session_.rewrite(sql));
    stmt.check(SQLPrepareW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size())));
    const OdbcParams bound(stmt.get(), params);
    const SQLRETURN rc = executeOdbc(stmt, [&stmt] { return SQLExecute(stmt.get()); });
    if (rc != SQL_NO_DATA) {
        stmt.check(rc);
    }
    return stmt;
}

// One statement, closed (its handle freed) before this returns. The first
// chunk describes the result; a later one that describes it otherwise was
// read from a table changed meanwhile, and its cells would go to the wrong
// columns.
void OdbcKeyRangeStream::readChunk(Snapshot& rows, std::size_t limit) {
    settleWritten();
    std::vector<Value> params;
    std::string where;
    if (!last_.empty()) {
        where = after(last_, params);
    }
    if (!end_.empty()) {
        where += (where.empty() ? "NOT (" : " AND NOT (") + after(end_, params) + ")";
    }
    // A table empty at the start has only the rows added since: all of them.
    const bool whole = end_.empty();
    const std::string sql = "SELECT " + (whole ? "" : "TOP " + std::to_string(limit) + " ") +
                            "* FROM " + table_ + (where.empty() ? "" : " WHERE " + where) +
                            " ORDER BY " + commaList(key_);
    const OdbcHandle stmt = run(sql, params);
    std::vector<OdbcColumnPlan> plans;
    const std::vector<ColumnInfo> columns = describeOdbcColumns(stmt, trustSizes_, plans);
    if (columns_.empty()) {
        columns_ = columns;
        rows = Snapshot(columns.size());
        if (!findKey()) {
            done_ = true;
            return;
        }
    } else if (!sameColumns(columns, columns_)) {
        throw DataError(tableChangedWhileRead);
    }
    // With written keys ahead the chunk is read apart, so that a row the
    // rows read already hold can be left out.
    const bool apart = !written_->keys.empty();
    Snapshot chunk(apart ? columns_.size() : 0);
    Snapshot& into = apart ? chunk : rows;
    const std::size_t before = into.rowCount();
    fetchOdbcRows(stmt, plans, into);
    const std::size_t read = into.rowCount() - before;
    // The key is copied as read: a key the user types over later must not
    // move where the read goes on.
    if (read > 0) {
        last_ = keyOf(into, into.rowCount() - 1);
    }
    if (apart) {
        appendUnlisted(chunk, rows);
    }
    done_ = whole || read < limit;
}

std::vector<Value> OdbcKeyRangeStream::keyOf(const Snapshot& rows, std::size_t row) const {
    std::vector<Value> key;
    for (const std::size_t c : keyAt_) {
        key.push_back(rows.value(row, c));
    }
    return key;
}

// Forgets the written keys that the read has passed or will not reach.
void OdbcKeyRangeStream::settleWritten() {
    if (!keyAt_.empty()) {
        std::erase_if(written_->keys,
                      [this](const std::vector<Value>& key) { return !ahead(key); });
    }
}

// Whether the table has a row with `key` that the read is still to come to,
// as the server compares keys.
bool OdbcKeyRangeStream::ahead(const std::vector<Value>& key) {
    std::vector<Value> params = key;
    std::string where;
    for (const std::string& column : key_) {
        where += (where.empty() ? "" : " AND ") + column + " = ?";
    }
    if (!last_.empty()) {
        where += " AND (" + after(last_, params) + ")";
    }
    if (!end_.empty()) {
        where += " AND NOT (" + after(end_, params) + ")";
    }
    const OdbcHandle stmt = run("SELECT COUNT(*) FROM " + table_ + " WHERE " + where, params);
    std::vector<OdbcColumnPlan> plans;
    Snapshot count(describeOdbcColumns(stmt, trustSizes_, plans).size());
    fetchOdbcRows(stmt, plans, count);
    return count.rowCount() == 1 && count.value(0, 0).toText() != "0";
}

// Appends the chunk's rows, but a written one that `rows` already holds.
void OdbcKeyRangeStream::appendUnlisted(const Snapshot& chunk, Snapshot& rows) {
    const std::size_t listed = rows.rowCount();
    const auto holds = [&](const std::vector<Value>& key) {
        for (std::size_t r = 0; r < listed; ++r) {
            if (keyOf(rows, r) == key) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::vector<Value>>& written = written_->keys;
    for (std::size_t r = 0; r < chunk.rowCount(); ++r) {
        const std::vector<Value> key = keyOf(chunk, r);
        if (const auto at = std::find(written.begin(), written.end(), key); at != written.end()) {
            written.erase(at);
            if (holds(key)) {
                continue;
            }
        }
        rows.appendRow(chunk.row(r));
    }
}

// "The row comes after `key` in key order", its values added to `params`:
// (k1 > ?) OR (k1 = ? AND k2 > ?) OR ... A composite key also gets k1 >= ?
// first, which lets a server read on along the key's index.
std::string OdbcKeyRangeStream::after(const std::vector<Value>& key,
                                      std::vector<Value>& params) const {
    const bool composite = key_.size() > 1;
    if (composite) {
        params.push_back(key[0]);
    }
    std::string any;
    for (std::size_t i = 0; i < key_.size(); ++i) {
        std::string one;
        for (std::size_t j = 0; j < i; ++j) {
            one += key_[j] + " = ? AND ";
            params.push_back(key[j]);
        }
        one += key_[i] + " > ?";
        params.push_back(key[i]);
        any += (any.empty() ? "(" : " OR (") + one + ")";
    }
    return composite ? key_[0] + " >= ? AND (" + any + ")" : any;
}

} // namespace vdata
