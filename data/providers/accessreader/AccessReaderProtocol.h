#pragma once

#include "data/service/Value.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// One column of an Access table as MDB Tools describes it.
struct AccessColumn {
    std::string name;
    int type = 0; // MDB Tools' column type (MDB_TEXT ...)
    bool autoNumber = false;
    int precision = 0;
    int scale = 0;
};

// Takes each row of a table, one value per column.
using AccessRowSink = std::function<void(const std::vector<Value>&)>;

// The messages between the program and its Access reader, a process of its
// own that reads the file through MDB Tools, so that a file that sends the
// library into a loop or a crash ends that process, not the program.
//
// Each message is a type byte, a 4-byte little-endian payload length and the
// payload. The program asks with Columns or Rows and a table name; the reader
// answers a Columns request with one Columns message, a Rows request with
// Row messages and an End, and either with Error instead when the file
// cannot be read. On start it sends the file's tables or an Error.
namespace accessreader {

enum class Message : char {
    Tables = 'T',  // the user tables, each a string
    Columns = 'C', // each column: name, type, auto-number, precision, scale
    Row = 'R',     // one value per column
    End = 'E',     // the rows are complete
    Error = 'X',   // the reader's message; the file cannot be read
    AskColumns = 'c',
    AskRows = 'r',
};

constexpr std::size_t headerSize = 5;
// Larger messages are taken for a broken stream: a row of an Access table
// holds at most 255 columns of at most 1 GiB each in theory, but MDB Tools
// hands over a memo of 64 KiB characters and an OLE object of any size.
constexpr std::uint32_t maxPayload = 1u << 30;

// Appends messages to a buffer.
class MessageWriter {
public:
    void begin(Message type);
    void end();

    void putInt(std::int64_t v);
    void putBytes(std::string_view bytes);
    void putValue(const Value& v);
    void putColumn(const AccessColumn& c);

    std::string& buffer() { return buffer_; }

private:
    std::string buffer_;
    std::size_t start_ = 0;
};

// Reads the fields of one message's payload. Raises std::out_of_range when
// the payload is shorter than its fields say.
class MessageReader {
public:
    explicit MessageReader(std::string_view payload) : rest_(payload) {}

    std::int64_t getInt();
    std::string_view getBytes();
    void getValue(Value& v);
    AccessColumn getColumn();
    bool atEnd() const { return rest_.empty(); }

private:
    std::string_view take(std::size_t n);
    std::string_view rest_;
};

// The payload length a header gives.
std::uint32_t payloadLength(const char* header);

} // namespace accessreader
} // namespace vdata
