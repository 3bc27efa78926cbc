#include "data/service/FilterSyntax.h"

#include "data/service/DecimalText.h"
#include "data/service/TemporalText.h"
#include "data/service/TextFold.h"
#include "data/service/TextHelpers.h"

#include <array>

namespace vdata {
namespace {

struct OpWord {
    std::string_view text;
    FilterOp op;
};
// Longer spellings first, so that "<=" is not read as "<".
constexpr std::array opWords{OpWord{"is not null", FilterOp::IsNotNull},
                             OpWord{"is null", FilterOp::IsNull},
                             OpWord{"starts with", FilterOp::StartsWith},
                             OpWord{"contains", FilterOp::Contains},
                             OpWord{"<=", FilterOp::LessEqual},
                             OpWord{">=", FilterOp::GreaterEqual},
                             OpWord{"<>", FilterOp::NotEqual},
                             OpWord{"!=", FilterOp::NotEqual},
                             OpWord{"=", FilterOp::Equal},
                             OpWord{"<", FilterOp::Less},
                             OpWord{">", FilterOp::Greater}};

const char* const grammar =
    "Write a column, then one of =, <>, <, >, <=, >=, contains, starts with, is null, is not "
    "null, then a value (in quotes when it holds blanks); join conditions with \"and\" or "
    "\"or\" and group them with ( ).";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool startsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size() || !equalsIgnoreCase(s.substr(0, word.size()), word)) {
        return false;
    }
    const bool symbol = !std::isalpha(static_cast<unsigned char>(word.front()));
    return symbol || s.size() == word.size() ||
           !std::isalnum(static_cast<unsigned char>(s[word.size()]));
}

// The value as the column's values are compared with it.
void setTerm(FilterCondition& c, std::string value) {
    if (c.op == FilterOp::Contains || c.op == FilterOp::StartsWith) {
        c.term = foldCase(value);
    } else if (filtersAsNumber(c.type)) {
        const std::optional<std::string> number = typedDecimalText(value);
        if (!number) {
            throw DataError("'" + value + "' is not a valid number.");
        }
        c.term = *number;
        c.integerTerm = parseInt(c.term, c.integer);
    } else if (filtersAsTime(c.type)) {
        c.term = temporalValueText(c.type, value);
    } else {
        c.term = std::move(value);
    }
}

// Reads a filter by descent: "or" joins groups of conditions joined by
// "and", and a group in ( ) stands for a condition.
class FilterParser {
public:
    FilterParser(std::string_view text, const std::vector<ColumnInfo>& columns)
        : text_(text), columns_(columns) {}

    FilterNode parse() {
        FilterNode node = readJoined(FilterNode::Join::Or);
        skipBlanks();
        if (pos_ < text_.size()) {
            refuse(pos_, text_[pos_] == ')'
                             ? "this ')' has no '(' before it."
                             : "\"" + std::string(word()) + "\" cannot be read here.");
        }
        return node;
    }

private:
    // Parts joined by `join`; an "or" part is itself parts joined by "and".
    FilterNode readJoined(FilterNode::Join join) {
        const bool orJoin = join == FilterNode::Join::Or;
        const auto readPart = [&] {
            return orJoin ? readJoined(FilterNode::Join::And) : readGroupOrCondition();
        };
        FilterNode node{join, {}, {readPart()}};
        while (takeWord(orJoin ? "or" : "and")) {
            node.parts.push_back(readPart());
        }
        if (node.parts.size() == 1) {
            FilterNode only = std::move(node.parts.front());
            return only;
        }
        return node;
    }

    FilterNode readGroupOrCondition() {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '(') {
            const std::size_t open = pos_++;
            if (++depth_ > maxDepth) {
                refuse(open, "the groups in ( ) nest too deeply.", 1);
            }
            FilterNode group = readJoined(FilterNode::Join::Or);
            --depth_;
            skipBlanks();
            if (pos_ == text_.size() || text_[pos_] != ')') {
                refuse(open, "this '(' has no ')' after it.", 1);
            }
            ++pos_;
            return group;
        }
        return FilterNode{FilterNode::Join::None, readCondition(), {}};
    }

    FilterCondition readCondition() {
        if (pos_ == text_.size() || text_[pos_] == ')') {
            refuse(pos_, "a condition is missing.");
        }
        FilterCondition c;
        c.column = readColumn();
        c.type = columns_[c.column].type;
        c.op = readOp();
        if (c.op != FilterOp::IsNull && c.op != FilterOp::IsNotNull) {
            skipBlanks();
            const std::size_t start = pos_;
            std::string value = readValue(c.type);
            try {
                setTerm(c, std::move(value));
            } catch (const DataError& e) {
                refuse(start, e.what(), pos_ - start);
            }
        }
        return c;
    }

    // A name in [ ] or " ", else the longest column name followed by a
    // blank, an operator or the end.
    std::size_t readColumn() {
        const std::string_view s = text_.substr(pos_);
        std::string_view name;
        std::size_t length = 0;
        if (s[0] == '[' || s[0] == '"') {
            const std::size_t end = s.find(s[0] == '[' ? ']' : '"', 1);
            name = s.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
            length = end == std::string_view::npos ? s.size() : end + 1;
        } else {
            for (const ColumnInfo& c : columns_) {
                const std::string_view after = s.substr(std::min(s.size(), c.name.size()));
                const bool ends = after.empty() || isBlank(after[0]) ||
                                  std::string_view("<>=!").find(after[0]) != std::string_view::npos;
                if (c.name.size() > length && c.name.size() <= s.size() &&
                    equalsIgnoreCase(s.substr(0, c.name.size()), c.name) && ends) {
                    length = c.name.size();
                    name = s.substr(0, length);
                }
            }
        }
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (length > 0 && equalsIgnoreCase(columns_[i].name, name)) {
                pos_ += length;
                return i;
            }
        }
        const std::string_view missing = s.substr(0, s.find_first_of(" \t<>=!()"));
        refuse(pos_, "the result has no column \"" + std::string(missing) + "\" to filter on.",
               missing.size());
    }

    FilterOp readOp() {
        skipBlanks();
        for (const OpWord& w : opWords) {
            if (startsWithWord(text_.substr(pos_), w.text)) {
                pos_ += w.text.size();
                return w.op;
            }
        }
        refuse(pos_, pos_ == text_.size() ? std::string("the condition has no operator.")
                                          : "\"" + std::string(word()) + "\" is not an operator.");
    }

    // A value in ' ' or " ", else a word; a date may be followed by a time.
    std::string readValue(FieldType type) {
        if (pos_ == text_.size() || text_[pos_] == ')' || atJoinWord()) {
            refuse(pos_, "the condition has no value.");
        }
        const char quote = text_[pos_];
        if (quote == '\'' || quote == '"') {
            const std::size_t end = text_.find(quote, pos_ + 1);
            if (end == std::string_view::npos) {
                refuse(pos_, "this quote has no closing quote.");
            }
            const std::size_t start = pos_ + 1;
            pos_ = end + 1;
            return std::string(text_.substr(start, end - start));
        }
        std::string value(word());
        pos_ += value.size();
        const std::size_t afterDate = pos_;
        skipBlanks();
        if (type == FieldType::DateTime && pos_ < text_.size() &&
            std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            value.append(" ").append(word());
            pos_ += word().size();
        } else {
            pos_ = afterDate;
        }
        return value;
    }

    std::string_view word() const {
        const std::string_view s = text_.substr(pos_);
        return s.substr(0, std::max<std::size_t>(1, s.find_first_of(" \t)")));
    }

    bool atJoinWord() const {
        const std::string_view s = text_.substr(pos_);
        return startsWithWord(s, "and") || startsWithWord(s, "or");
    }

    bool takeWord(std::string_view joinWord) {
        skipBlanks();
        if (!startsWithWord(text_.substr(pos_), joinWord)) {
            return false;
        }
        pos_ += joinWord.size();
        return true;
    }

    void skipBlanks() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) {
            ++pos_;
        }
    }

    // Raises the error at `at`, marking `length` bytes (the word there when 0).
    [[noreturn]] void refuse(std::size_t at, const std::string& why, std::size_t length = 0) {
        pos_ = at;
        const std::size_t marked = length ? length : at < text_.size() ? word().size() : 0;
        throw FilterError("The filter cannot be read at character " + std::to_string(at + 1) +
                              ": " + why + " " + grammar,
                          at, marked);
    }

    // Deeper groups would only exhaust the stack.
    static constexpr int maxDepth = 100;

    std::string_view text_;
    const std::vector<ColumnInfo>& columns_;
    std::size_t pos_ = 0;
    int depth_ = 0;
};

} // namespace

bool filtersAsNumber(FieldType type) {
    return isIntegerType(type) || type == FieldType::Float || type == FieldType::Decimal ||
           type == FieldType::Boolean;
}

bool filtersAsTime(FieldType type) {
    return type == FieldType::Date || type == FieldType::DateTime || type == FieldType::Time;
}

FilterNode parseFilter(std::string_view text, const std::vector<ColumnInfo>& columns) {
    return FilterParser(text, columns).parse();
}

} // namespace vdata
