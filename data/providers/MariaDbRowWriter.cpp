#include "data/providers/MariaDbRowWriter.h"

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

namespace vdata {

namespace {

WriteBackDialect mariaDbDialect(const MariaDbTableInfo& table) {
    WriteBackDialect d;
    d.placeholder = [](int) { return std::string("?"); };
    d.table = backtickQuoted(table.name);
    d.namesFoldCase = true; // column names compare without regard to case
    d.quote = backtickQuoted;
    // The server compares a FLOAT with a double in single precision, so
    // 0.1 read back would never equal 0.1 sent; both sides compare as the
    // server prints them.
    d.comparable = [](const std::string& operand, FieldType type) {
        return type == FieldType::Float ? "CAST(" + operand + " AS CHAR)" : operand;
    };
    return d;
}

} // namespace

std::string backtickQuoted(const std::string& name) {
    std::string out = "`";
    for (const char c : name) {
        out += c;
        if (c == '`') {
            out += '`';
        }
    }
    return out + "`";
}

MariaDbRowWriter::MariaDbRowWriter(const MariaDbTableInfo& table, const RowEdit& edit)
    : edit_(edit), sql_(edit, mariaDbDialect(table)), key_(table.name, table.key, edit, true) {}

} // namespace vdata
