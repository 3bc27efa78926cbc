#include "data/service/Parameters.h"

#include "data/service/SqlLexer.h"

namespace vdata {
namespace {

bool endsName(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == ')';
}

} // namespace

ParsedSql parseParameters(const std::string& sql,
                          const std::function<std::string(int)>& placeholder) {
    ParsedSql result;
    const std::vector<SqlToken> tokens = lexSql(sql);
    std::size_t resumeAt = 0; // text offset up to which a parameter name consumed the input
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const SqlToken& t = tokens[i];
        if (t.offset < resumeAt) {
            const std::size_t end = t.offset + t.text.size();
            if (end > resumeAt) { // the name ended inside this token: keep its rest
                result.text += t.text.substr(resumeAt - t.offset);
            }
            continue;
        }
        const bool colon = t.kind == SqlToken::Kind::Punct && t.text == ":";
        if (!colon) {
            result.text += t.text;
            continue;
        }
        const bool nextIsColon = i + 1 < tokens.size() && tokens[i + 1].text == ":";
        if (nextIsColon) { // a "::" cast
            result.text += "::";
            ++i;
            continue;
        }
        std::size_t end = t.offset + 1;
        while (end < sql.size() && !endsName(sql[end])) {
            ++end;
        }
        if (end == t.offset + 1) {
            result.text += ':';
            continue;
        }
        result.names.push_back(sql.substr(t.offset + 1, end - t.offset - 1));
        result.text += placeholder(static_cast<int>(result.names.size()));
        resumeAt = end;
    }
    return result;
}

} // namespace vdata
