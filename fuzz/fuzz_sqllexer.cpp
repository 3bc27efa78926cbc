// The SQL lexer and the rewrites built on it: tokens are never empty and
// cover the text exactly, in order; TOP and bracket rewrites and the table
// reference count run on any text, and leave text without their trigger
// words untouched.
#include "data/service/Dialect.h"
#include "data/service/SqlLexer.h"
#include "data/service/TableReferences.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void checkTokens(const std::string& sql) {
    std::size_t at = 0;
    for (const vdata::SqlToken& t : vdata::lexSql(sql)) {
        FUZZ_CHECK(!t.text.empty());
        FUZZ_CHECK(t.offset == at);
        FUZZ_CHECK(t.text.data() == sql.data() + at);
        at += t.text.size();
    }
    FUZZ_CHECK(at == sql.size());
}

bool hasTopWord(const std::string& sql) {
    for (const vdata::SqlToken& t : vdata::lexSql(sql)) {
        if (t.kind == vdata::SqlToken::Kind::Word && t.text.size() == 3 &&
            (t.text[0] | 0x20) == 't' && (t.text[1] | 0x20) == 'o' && (t.text[2] | 0x20) == 'p') {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    checkTokens(sql);

    const std::string top = vdata::rewriteTop(sql);
    if (!hasTopWord(sql)) {
        FUZZ_CHECK(top == sql);
    }
    const std::string quotes = vdata::bracketsToQuotes(sql);
    if (sql.find('[') == std::string::npos) {
        FUZZ_CHECK(quotes == sql);
    }
    checkTokens(top);
    checkTokens(quotes);

    // The first word of the text is the table looked for.
    const auto tokens = vdata::lexSql(sql);
    for (const vdata::SqlToken& t : tokens) {
        if (t.kind == vdata::SqlToken::Kind::Word) {
            FUZZ_CHECK(vdata::countTableReferences(sql, std::string(t.text)) >= 0);
            break;
        }
    }
    return 0;
}
