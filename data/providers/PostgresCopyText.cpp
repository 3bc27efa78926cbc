#include "data/providers/PostgresCopyText.h"

#include "data/service/Errors.h"
#include "data/service/SqlLexer.h"
#include "data/service/TextHelpers.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace vdata {

namespace {

constexpr std::string_view rowWords[] = {"select", "values", "table"};

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

// Reads up to `most` digits of `base` at text[i]; i moves past them.
int readNumber(std::string_view text, std::size_t& i, int base, int most) {
    int value = 0;
    for (int n = 0; n < most && i < text.size() && digitValue(text[i], base) >= 0; ++n, ++i) {
        value = value * base + digitValue(text[i], base);
    }
    return value;
}

// The field's bytes with COPY's backslash escapes resolved.
void unescape(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size();) {
        const char c = field[i++];
        if (c != '\\' || i == field.size()) {
            out += c;
            continue;
        }
        const char e = field[i];
        if (digitValue(e, 8) >= 0) {
            out += static_cast<char>(readNumber(field, i, 8, 3));
        } else if (e == 'x' && i + 1 < field.size() && digitValue(field[i + 1], 16) >= 0) {
            ++i;
            out += static_cast<char>(readNumber(field, i, 16, 2));
        } else {
            static constexpr std::string_view from = "bfnrtv";
            static constexpr std::string_view to = "\b\f\n\r\t\v";
            const std::size_t k = from.find(e);
            out += k == std::string_view::npos ? e : to[k];
            ++i;
        }
    }
}

// The line's fields, each ended by a tab (a tab inside a value is sent
// escaped).
void splitFields(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    const char* at = line.data();
    const char* const end = at + line.size();
    while (const auto* tab = static_cast<const char*>(std::memchr(at, '\t', end - at))) {
        fields.emplace_back(at, static_cast<std::size_t>(tab - at));
        at = tab + 1;
    }
    fields.emplace_back(at, static_cast<std::size_t>(end - at));
}

} // namespace

std::optional<std::string> copyOutStatement(std::string_view sql) {
    const std::vector<SqlToken> tokens = lexSql(sql);
    const auto code = [](const SqlToken& t) {
        return t.kind != SqlToken::Kind::Space && t.kind != SqlToken::Kind::Comment;
    };
    const auto first = std::find_if(tokens.begin(), tokens.end(), code);
    if (first == tokens.end() || first->kind != SqlToken::Kind::Word ||
        std::none_of(std::begin(rowWords), std::end(rowWords),
                     [&](std::string_view w) { return equalsIgnoreCase(first->text, w); })) {
        return std::nullopt;
    }
    // Trailing semicolons and blanks are dropped; a comment at the end stays,
    // with the closing parenthesis on a line of its own.
    auto last = tokens.end();
    while ((last - 1)->kind == SqlToken::Kind::Space || (last - 1)->text == ";") {
        --last;
    }
    const SqlToken& end = *(last - 1);
    return "COPY (" + std::string(sql.substr(0, end.offset + end.text.size())) + "\n) TO STDOUT";
}

void appendCopyRow(Snapshot& rows, const std::vector<PgStorage>& storage, std::string_view line,
                   CopyLineScratch& scratch) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    splitFields(line, scratch.fields);
    if (scratch.fields.size() != storage.size() && !(storage.empty() && line.empty())) {
        throw DataError(tableChangedWhileRead);
    }
    // Most lines hold no backslash, hence neither a NULL nor an escape.
    const bool plain = line.find('\\') == std::string_view::npos;
    for (std::size_t i = 0; i < storage.size(); ++i) {
        const std::string_view field = scratch.fields[i];
        if (field == "\\N" && !plain) {
            rows.appendNull();
        } else if (plain || field.find('\\') == std::string_view::npos) {
            appendPgCell(rows, storage[i], field.data(), static_cast<int>(field.size()));
        } else {
            unescape(field, scratch.unescaped);
            appendPgCell(rows, storage[i], scratch.unescaped.data(),
                         static_cast<int>(scratch.unescaped.size()));
        }
    }
}

} // namespace vdata
