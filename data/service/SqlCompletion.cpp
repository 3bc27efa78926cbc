#include "data/service/SqlCompletion.h"

#include "data/service/Enclose.h"
#include "data/service/SqlKeywords.h"
#include "data/service/SqlLexer.h"
#include "data/service/SqlStatements.h"
#include "data/service/TextFold.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>

namespace vdata {

namespace {

using Kind = SqlToken::Kind;
using Tokens = std::vector<SqlToken>;

std::string upper(std::string_view word) {
    std::string out(word);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return out;
}

bool isWord(const SqlToken& t, std::string_view keyword) {
    return t.kind == Kind::Word && upper(t.text) == keyword;
}

// A table the statement names after FROM, JOIN, UPDATE or INTO, and how the
// statement refers to it.
struct TableRef {
    std::string table;     // the name, without quotes
    std::string qualifier; // the alias as written, else the name as written
    std::string alias;     // the alias without quotes; empty when none
    std::size_t end = 0;   // the code token after it
    std::size_t aliasToken = SIZE_MAX;
    bool joined = false;
};

// The statement around the caret: its code tokens (offsets into the whole
// text) and the token the caret stands in or at the end of.
struct Statement {
    Tokens code;
    std::optional<SqlToken> atCaret;
};

Statement statementAround(std::string_view text, std::size_t caret, SqlFamily family) {
    const StatementSpan span = statementAt(text, caret, family);
    std::size_t begin = span.begin;
    if (caret < span.begin) {
        // Between statements the text is read from the end of the one
        // before, so that a comment the caret stands in is whole.
        const std::vector<StatementSpan> before =
            splitStatements(text.substr(0, span.begin), family);
        begin = before.empty() ? 0 : before.back().end;
    }
    const std::size_t end = std::max(span.end, caret);
    Statement s;
    for (SqlToken t : lexSql(text.substr(begin, end - begin), family)) {
        t.offset += begin;
        if (t.offset < caret && caret <= t.offset + t.text.size()) {
            s.atCaret = t;
        }
        if (t.kind != Kind::Space && t.kind != Kind::Comment) {
            s.code.push_back(t);
        }
    }
    return s;
}

// Whether a string or comment token runs on past its last character.
bool openAtEnd(const SqlToken& t) {
    const std::string_view s = t.text;
    if (t.kind == Kind::Comment) {
        return s.starts_with("--") || s.size() < 4 || !s.ends_with("*/");
    }
    if (s.front() == '$') {
        const std::string_view tag = s.substr(0, s.find('$', 1) + 1);
        return s.size() < 2 * tag.size() || !s.ends_with(tag);
    }
    return std::count(s.begin(), s.end(), '\'') % 2 == 1;
}

bool isName(const Tokens& t, std::size_t i) {
    return i < t.size() &&
           (t[i].kind == Kind::Quoted || (t[i].kind == Kind::Word && !isSqlKeyword(t[i].text)));
}

// Reads "name" or "schema.name" at code token i into `ref`; returns the
// token after it (i when there is no name).
std::size_t readName(const Tokens& t, std::size_t i, TableRef& ref) {
    if (!isName(t, i)) {
        return i;
    }
    ref.table = identifierText(t[i]);
    ref.qualifier = std::string(t[i].text);
    for (++i; i + 1 < t.size() && t[i].text == "." && isName(t, i + 1); i += 2) {
        ref.table += "." + identifierText(t[i + 1]);
        ref.qualifier += "." + std::string(t[i + 1].text);
    }
    return i;
}

std::vector<TableRef> tablesOf(const Tokens& t) {
    std::vector<TableRef> refs;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const std::string keyword = t[i].kind == Kind::Word ? upper(t[i].text) : std::string();
        if (keyword != "FROM" && keyword != "JOIN" && keyword != "UPDATE" && keyword != "INTO") {
            continue;
        }
        for (std::size_t j = i + 1;;) {
            TableRef ref;
            const std::size_t after = readName(t, j, ref);
            if (after == j) {
                break;
            }
            j = after + (after < t.size() && isWord(t[after], "AS") ? 1 : 0);
            if (isName(t, j)) {
                ref.aliasToken = j;
                ref.alias = identifierText(t[j]);
                ref.qualifier = std::string(t[j++].text);
            }
            ref.end = j;
            ref.joined = keyword == "JOIN";
            refs.push_back(std::move(ref));
            if (keyword != "FROM" || j >= t.size() || t[j].text != ",") {
                break;
            }
            ++j;
        }
    }
    return refs;
}

// The table `qualifier` (an alias or a table name) stands for.
const SchemaCatalog::Table* qualified(const std::string& qualifier,
                                      const std::vector<TableRef>& refs,
                                      const SchemaCatalog& catalog) {
    const std::string folded = foldCase(qualifier);
    for (const TableRef& ref : refs) {
        if (!ref.alias.empty() && foldCase(ref.alias) == folded) {
            return catalog.find(ref.table);
        }
    }
    return catalog.find(qualifier);
}

bool sameTable(const std::string& a, const SchemaCatalog::Table* b) {
    return b && foldCase(a) == foldCase(b->name);
}

std::string pairs(const std::string& left, const std::vector<std::string>& leftColumns,
                  const std::string& right, const std::vector<std::string>& rightColumns,
                  const NameQuoting& q) {
    std::string text;
    for (std::size_t i = 0; i < leftColumns.size() && i < rightColumns.size(); ++i) {
        text += (i ? " AND " : "") + left + "." + nameInSql(leftColumns[i], q) + " = " + right +
                "." + nameInSql(rightColumns[i], q);
    }
    return text;
}

// The conditions that join refs[joined] to the tables before it, each
// written with the earlier table first.
std::vector<std::string> joinConditions(const std::vector<TableRef>& refs, std::size_t joined,
                                        const SchemaCatalog& catalog) {
    const TableRef& j = refs[joined];
    const SchemaCatalog::Table* jt = catalog.find(j.table);
    std::vector<std::string> found;
    for (std::size_t e = 0; e < joined; ++e) {
        const SchemaCatalog::Table* et = catalog.find(refs[e].table);
        for (const ForeignKey& key : catalog.keys) {
            std::string text;
            if (sameTable(key.table, et) && sameTable(key.referencedTable, jt)) {
                text = pairs(refs[e].qualifier, key.columns, j.qualifier, key.referencedColumns,
                             catalog.quoting);
            } else if (sameTable(key.table, jt) && sameTable(key.referencedTable, et)) {
                text = pairs(refs[e].qualifier, key.referencedColumns, j.qualifier, key.columns,
                             catalog.quoting);
            }
            if (!text.empty() && std::find(found.begin(), found.end(), text) == found.end()) {
                found.push_back(std::move(text));
            }
        }
    }
    return found;
}

// Collects the items that match the typed prefix.
class Offer {
public:
    Offer(Completion& c, std::string prefix, bool quoted, const NameQuoting& q)
        : c_(c), folded_(foldCase(prefix)), quoted_(quoted), quoting_(q) {}

    void name(const std::string& name, Completion::Kind kind) {
        std::string text =
            quoted_ ? enclose(name, quoting_.open, quoting_.close) : nameInSql(name, quoting_);
        if (matchesFolded(name, folded_, false) && seen_.insert(text).second) {
            c_.items.push_back({std::move(text), kind});
        }
    }
    void word(const std::string& word, Completion::Kind kind) {
        if (!quoted_ && matchesFolded(word, folded_, false)) {
            c_.items.push_back({word, kind});
        }
    }

private:
    Completion& c_;
    std::string folded_;
    bool quoted_;
    const NameQuoting& quoting_;
    std::set<std::string> seen_;
};

const NameQuoting noCatalogQuoting;

} // namespace

Completion completeSql(std::string_view text, std::size_t caret, const SchemaCatalog* catalog) {
    Completion c{caret, caret, {}};
    const Statement s =
        statementAround(text, caret, catalog ? catalog->family : SqlFamily::Standard);
    std::string prefix;
    bool quoted = false;
    if (const std::optional<SqlToken>& t = s.atCaret) {
        const bool inside = caret < t->offset + t->text.size() || openAtEnd(*t);
        if ((t->kind == Kind::String || t->kind == Kind::Comment) && inside) {
            return c;
        }
        if (t->kind == Kind::Word || t->kind == Kind::Quoted) {
            c.from = t->offset;
            quoted = t->kind == Kind::Quoted;
            const std::string_view typed = t->text.substr(0, caret - t->offset);
            prefix = quoted ? std::string(typed.substr(1)) : std::string(typed);
        }
    }
    Offer offer(c, prefix, quoted, catalog ? catalog->quoting : noCatalogQuoting);
    // The code tokens before the typed part.
    std::size_t before = 0;
    while (before < s.code.size() && s.code[before].offset + s.code[before].text.size() <= c.from) {
        ++before;
    }
    const auto last = [&](std::size_t back) -> const SqlToken* {
        return before > back ? &s.code[before - 1 - back] : nullptr;
    };
    const std::vector<TableRef> refs = tablesOf(s.code);
    // An alias being typed is a new name: nothing to offer.
    const bool typing = c.from < caret;
    if (std::any_of(refs.begin(), refs.end(),
                    [&](const TableRef& ref) { return typing && ref.aliasToken == before; })) {
        return c;
    }
    if (last(0) && last(0)->text == "." && isName(s.code, before - 2)) {
        const auto* table = catalog ? qualified(identifierText(*last(1)), refs, *catalog) : nullptr;
        if (table) {
            for (const std::string& column : table->columns) {
                offer.name(column, Completion::Kind::Column);
            }
        }
        return c;
    }
    if (const SqlToken* keyword = last(0); keyword && keyword->kind == Kind::Word) {
        const std::string word = upper(keyword->text);
        if (word == "FROM" || word == "JOIN" || word == "UPDATE" || word == "INTO" ||
            word == "TABLE") {
            // CREATE TABLE names a new table.
            if (catalog && !(word == "TABLE" && last(1) && isWord(*last(1), "CREATE"))) {
                for (const SchemaCatalog::Table* table : catalog->tablesStartingWith(prefix)) {
                    offer.name(table->name, Completion::Kind::Table);
                }
            }
            return c;
        }
        for (std::size_t r = 0; catalog && word == "ON" && r < refs.size(); ++r) {
            if (refs[r].joined && refs[r].end == before - 1) {
                for (const std::string& condition : joinConditions(refs, r, *catalog)) {
                    offer.word(condition, Completion::Kind::JoinCondition);
                }
            }
        }
    }
    for (const TableRef& ref : refs) {
        if (const auto* table = catalog ? catalog->find(ref.table) : nullptr) {
            for (const std::string& column : table->columns) {
                offer.name(column, Completion::Kind::Column);
            }
        }
    }
    for (const std::string& function : catalog ? catalog->functions : std::vector<std::string>()) {
        offer.word(function, Completion::Kind::Function);
    }
    for (const std::string& keyword : sqlKeywords()) {
        offer.word(keyword, Completion::Kind::Keyword);
    }
    for (const std::string& keyword :
         familyKeywords(catalog ? catalog->family : SqlFamily::Standard)) {
        offer.word(keyword, Completion::Kind::Keyword);
    }
    return c;
}

Completion joinClauseAt(std::string_view text, std::size_t caret, const SchemaCatalog* catalog) {
    Completion c{caret, caret, {}};
    const Statement s =
        statementAround(text, caret, catalog ? catalog->family : SqlFamily::Standard);
    std::size_t before = 0;
    while (before < s.code.size() && s.code[before].offset + s.code[before].text.size() <= caret) {
        ++before;
    }
    const std::vector<TableRef> refs = tablesOf(s.code);
    const bool blank =
        caret > 0 && (text[caret - 1] == ' ' || text[caret - 1] == '\n' || text[caret - 1] == '\t');
    for (std::size_t r = 0; catalog && r < refs.size(); ++r) {
        if (refs[r].joined && refs[r].end == before) {
            for (const std::string& condition : joinConditions(refs, r, *catalog)) {
                c.items.push_back(
                    {(blank ? "ON " : " ON ") + condition, Completion::Kind::JoinCondition});
            }
        }
    }
    return c;
}

bool changesSchema(std::string_view sql, SqlFamily family) {
    for (const StatementSpan& span : splitStatements(sql, family)) {
        for (const SqlToken& t : lexSql(sql.substr(span.begin, span.end - span.begin), family)) {
            if (t.kind == Kind::Space || t.kind == Kind::Comment) {
                continue;
            }
            const std::string word = upper(t.text);
            if (word == "CREATE" || word == "ALTER" || word == "DROP") {
                return true;
            }
            break;
        }
    }
    return false;
}

} // namespace vdata
