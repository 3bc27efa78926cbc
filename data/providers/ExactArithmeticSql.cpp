#include "data/providers/ExactArithmeticSql.h"

#include "data/service/SqlLexer.h"
#include "data/service/TextHelpers.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace vdata {
namespace {

using Kind = SqlToken::Kind;

bool isKeyword(const SqlToken& t) {
    return t.kind == Kind::Word &&
           sqlite3_keyword_check(t.text.data(), static_cast<int>(t.text.size())) != 0;
}

bool isWord(const SqlToken& t, std::string_view word) {
    return t.kind == Kind::Word && equalsIgnoreCase(t.text, word);
}

bool isAnyWord(const SqlToken& t, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return isWord(t, w); });
}

bool isDigitWord(const SqlToken& t) {
    return t.kind == Kind::Word && std::isdigit(static_cast<unsigned char>(t.text.front()));
}

bool isPunct(const SqlToken& t, char c) {
    return t.kind == Kind::Punct && t.text.front() == c;
}

// Rewrites token ranges, recursing into parentheses and into the operands
// of the runs it writes as calls.
class Rewriter {
public:
    explicit Rewriter(std::string_view sql) : sql_(sql), tokens_(lexSql(sql)) {}

    std::string all() { return range(0, tokens_.size()); }

private:
    struct Run {
        std::vector<std::pair<std::size_t, std::size_t>> operands; // token ranges
        std::vector<char> ops;
    };

    // The text of the tokens [from, to) with every run written as calls.
    std::string range(std::size_t from, std::size_t to) {
        if (depth_ == maxDepth) { // SQLite refuses such depths itself
            return std::string(sql_.substr(offsetAt(from), offsetAt(to) - offsetAt(from)));
        }
        ++depth_;
        std::string out = rangeWritten(from, to);
        --depth_;
        return out;
    }

    std::string rangeWritten(std::size_t from, std::size_t to) {
        std::string out;
        bool selecting = false;
        for (std::size_t i = from; i < to;) {
            const SqlToken& t = tokens_[i];
            if (isWord(t, "SELECT")) {
                selecting = true;
            } else if (isAnyWord(t, {"FROM", "WHERE", "GROUP", "HAVING", "ORDER", "LIMIT", "WINDOW",
                                     "UNION", "EXCEPT", "INTERSECT", "VALUES"})) {
                selecting = false;
            }
            if (const std::optional<Run> run = runAt(i, to)) {
                const std::size_t end = run->operands.back().second;
                out += written(*run);
                if (selecting && isItemStart(i) && isItemEnd(end, to)) {
                    out += " AS " + quoted(sql_.substr(t.offset, offsetAt(end) - t.offset));
                }
                i = end;
            } else if (isPunct(t, '(') && closing(i, to) < to) {
                const std::size_t close = closing(i, to);
                out += "(" + range(i + 1, close) + ")";
                i = close + 1;
            } else {
                out += t.text;
                ++i;
            }
        }
        return out;
    }

    // The run's operands joined as calls: * binds first, then + and - from
    // the left.
    std::string written(const Run& run) {
        std::vector<std::string> terms{operand(run, 0)};
        std::vector<char> joins;
        for (std::size_t k = 0; k < run.ops.size(); ++k) {
            const char op = run.ops[k];
            std::string next = operand(run, k + 1);
            if (op == '*' || op == '/' || op == '%') {
                terms.back() = op == '*' ? "exact_mul(" + terms.back() + ", " + next + ")"
                                         : "(" + terms.back() + " " + op + " " + next + ")";
            } else {
                terms.push_back(std::move(next));
                joins.push_back(op);
            }
        }
        std::string text = terms.front();
        for (std::size_t k = 0; k < joins.size(); ++k) {
            text =
                (joins[k] == '+' ? "exact_add(" : "exact_sub(") + text + ", " + terms[k + 1] + ")";
        }
        return text;
    }

    std::string operand(const Run& run, std::size_t k) {
        const auto [from, to] = run.operands[k];
        return std::string(trimmed(range(from, to)));
    }

    // The run of values joined by arithmetic that starts at token i, when it
    // has a +, - or * and nothing binds to it more tightly.
    std::optional<Run> runAt(std::size_t i, std::size_t to) {
        if (tokens_[i].kind == Kind::Space || tokens_[i].kind == Kind::Comment ||
            endsValue(before(i)) || isPunct(before(i), '~') || isPunct(before(i), '|') ||
            followsArrow(i)) {
            return std::nullopt;
        }
        Run run;
        std::size_t end = valueEnd(i, to);
        if (end == i) {
            return std::nullopt;
        }
        run.operands.emplace_back(i, end);
        for (;;) {
            const std::size_t op = solidFrom(end, to);
            if (op == to || !isOperator(op, to)) {
                break;
            }
            const std::size_t next = solidFrom(op + 1, to);
            const std::size_t nextEnd = next == to ? next : valueEnd(next, to);
            if (nextEnd == next) {
                break;
            }
            run.ops.push_back(tokens_[op].text.front());
            run.operands.emplace_back(next, nextEnd);
            end = nextEnd;
        }
        const std::size_t after = solidFrom(end, to);
        const bool bound =
            after < to && (isPunct(tokens_[after], '|') || isWord(tokens_[after], "COLLATE") ||
                           (isPunct(tokens_[after], '-') && !isOperator(after, to)));
        const bool exact = std::any_of(run.ops.begin(), run.ops.end(),
                                       [](char c) { return c == '+' || c == '-' || c == '*'; });
        return exact && !bound ? std::optional(run) : std::nullopt;
    }

    bool isOperator(std::size_t i, std::size_t to) const {
        const SqlToken& t = tokens_[i];
        if (t.kind != Kind::Punct ||
            std::string_view("+-*/%").find(t.text.front()) == std::string_view::npos) {
            return false;
        }
        return !(isPunct(t, '-') && i + 1 < to && isPunct(tokens_[i + 1], '>'));
    }

    // The end of the value (with its unary sign) that starts at i, or i.
    std::size_t valueEnd(std::size_t i, std::size_t to) const {
        if (isPunct(tokens_[i], '-') || isPunct(tokens_[i], '+')) {
            const std::size_t k = solidFrom(i + 1, to);
            const std::size_t end = k == to ? k : atomEnd(k, to);
            return end == k ? i : end;
        }
        return atomEnd(i, to);
    }

    std::size_t atomEnd(std::size_t i, std::size_t to) const {
        const SqlToken& t = tokens_[i];
        if (t.kind == Kind::String) {
            return i + 1;
        }
        if (isPunct(t, '(')) {
            const bool special =
                isAnyWord(before(i), {"CAST", "IN", "EXISTS", "VALUES", "OVER", "FILTER", "USING",
                                      "AS", "INTO", "TABLE", "FROM", "JOIN", "WINDOW"});
            const std::size_t close = closing(i, to);
            return special || close == to ? i : close + 1;
        }
        if (isDigitWord(t) || (isPunct(t, '.') && i + 1 < to && isDigitWord(tokens_[i + 1]))) {
            return numberEnd(i, to);
        }
        if (isPunct(t, '?')) {
            return i + 1 < to && isDigitWord(tokens_[i + 1]) ? i + 2 : i + 1;
        }
        if ((t.kind == Kind::Word && !isKeyword(t)) || t.kind == Kind::Quoted) {
            return nameEnd(i, to);
        }
        return i;
    }

    // digits[.digits][e[+-]digits], or .digits...
    std::size_t numberEnd(std::size_t i, std::size_t to) const {
        std::size_t e = isDigitWord(tokens_[i]) ? i + 1 : i;
        if (e < to && isPunct(tokens_[e], '.')) {
            ++e;
            e += e < to && isDigitWord(tokens_[e]) ? 1 : 0;
        }
        const std::string_view last = tokens_[e - 1].text;
        const bool exponent = last.back() == 'e' || last.back() == 'E';
        if (exponent && e + 1 < to && (isPunct(tokens_[e], '+') || isPunct(tokens_[e], '-')) &&
            isDigitWord(tokens_[e + 1])) {
            e += 2;
        }
        return e;
    }

    // name[.name...], then a call's arguments and its window.
    std::size_t nameEnd(std::size_t i, std::size_t to) const {
        std::size_t e = i + 1;
        while (e + 1 < to && isPunct(tokens_[e], '.') &&
               (tokens_[e + 1].kind == Kind::Quoted ||
                (tokens_[e + 1].kind == Kind::Word && !isKeyword(tokens_[e + 1])))) {
            e += 2;
        }
        std::size_t open = solidFrom(e, to);
        if (open == to || !isPunct(tokens_[open], '(') || closing(open, to) == to) {
            return e;
        }
        e = closing(open, to) + 1;
        const std::size_t over = solidFrom(e, to);
        if (over < to && isWord(tokens_[over], "OVER")) {
            const std::size_t window = solidFrom(over + 1, to);
            if (window < to && isPunct(tokens_[window], '(') && closing(window, to) < to) {
                return closing(window, to) + 1;
            }
            return window < to && tokens_[window].kind == Kind::Word ? window + 1 : e;
        }
        return e;
    }

    std::size_t closing(std::size_t open, std::size_t to) const {
        int depth = 0;
        for (std::size_t i = open; i < to; ++i) {
            depth += isPunct(tokens_[i], '(') ? 1 : isPunct(tokens_[i], ')') ? -1 : 0;
            if (depth == 0) {
                return i;
            }
        }
        return to;
    }

    std::size_t solidFrom(std::size_t i, std::size_t to) const {
        while (i < to && (tokens_[i].kind == Kind::Space || tokens_[i].kind == Kind::Comment)) {
            ++i;
        }
        return i;
    }

    // The solid token before i; a space when there is none.
    const SqlToken& before(std::size_t i) const {
        while (i > 0) {
            --i;
            if (tokens_[i].kind != Kind::Space && tokens_[i].kind != Kind::Comment) {
                return tokens_[i];
            }
        }
        return none_;
    }

    // Whether the solid token before i ends "->" or "->>", which bind more
    // tightly than arithmetic.
    bool followsArrow(std::size_t i) const {
        std::size_t k = i;
        while (k > 0 &&
               (tokens_[k - 1].kind == Kind::Space || tokens_[k - 1].kind == Kind::Comment)) {
            --k;
        }
        return k >= 2 && isPunct(tokens_[k - 1], '>') &&
               (isPunct(tokens_[k - 2], '-') || isPunct(tokens_[k - 2], '>'));
    }

    // Whether a value ends with t, so that what follows continues it.
    static bool endsValue(const SqlToken& t) {
        return t.kind == Kind::String || t.kind == Kind::Quoted || isPunct(t, ')') ||
               isPunct(t, '?') || (t.kind == Kind::Word && !isKeyword(t));
    }

    bool isItemStart(std::size_t i) const {
        const SqlToken& t = before(i);
        return isPunct(t, ',') || isAnyWord(t, {"SELECT", "DISTINCT", "ALL"});
    }

    bool isItemEnd(std::size_t end, std::size_t to) const {
        const std::size_t next = solidFrom(end, to);
        return next == to || isPunct(tokens_[next], ',') || isWord(tokens_[next], "FROM") ||
               isPunct(tokens_[next], ';');
    }

    std::size_t offsetAt(std::size_t i) const {
        return i < tokens_.size() ? tokens_[i].offset : sql_.size();
    }

    static std::string quoted(std::string_view name) {
        std::string q = "\"";
        for (char c : name) {
            q += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        return q + "\"";
    }

    static constexpr int maxDepth = 200;

    std::string_view sql_;
    std::vector<SqlToken> tokens_;
    int depth_ = 0;
    SqlToken none_{Kind::Space, " ", 0};
};

} // namespace

std::string withExactArithmetic(const std::string& sql) {
    return Rewriter(sql).all();
}

} // namespace vdata
