#include "data/service/CsvWriter.h"

#include "data/service/Query.h"

#include <algorithm>

namespace vdata {
namespace {

// A tab needs no quotes by the format's rule; quoted, it also stays inside
// its field in readers that take tabs as separators too.
bool needsQuotes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n' || c == '\t';
    });
}

} // namespace

CsvWriter::CsvWriter(Sink sink) : sink_(std::move(sink)) {
    buffer_.reserve(bufferSize + 4096);
}

bool CsvWriter::write(const Query& query) {
    const int columns = query.fieldCount();
    for (int c = 0; c < columns; ++c) {
        if (c > 0) {
            buffer_ += ',';
        }
        field(query.field(c).name());
    }
    buffer_ += "\r\n";
    const int rows = query.active() ? query.displayRowCount() : 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) {
                buffer_ += ',';
            }
            cell(query, r, c);
        }
        buffer_ += "\r\n";
        if (!flushIfFull()) {
            return false;
        }
    }
    return flush();
}

void CsvWriter::cell(const Query& query, int row, int column) {
    switch (query.cellKind(row, column)) {
    case Value::Kind::Null:
        return;
    case Value::Kind::Text:
        field(query.cellBytes(row, column));
        return;
    case Value::Kind::Blob:
        hex(query.cellBytes(row, column));
        return;
    case Value::Kind::Int:
    case Value::Kind::Real:
        // Numbers have no characters that need quotes; the text is short
        // enough to stay in the string's own storage.
        buffer_ += query.cell(row, column).toText();
        return;
    }
}

void CsvWriter::field(std::string_view bytes) {
    if (!needsQuotes(bytes)) {
        buffer_ += bytes;
        return;
    }
    buffer_ += '"';
    for (std::size_t at = 0;;) {
        const std::size_t quote = bytes.find('"', at);
        buffer_ += bytes.substr(at, quote - at);
        if (quote == std::string_view::npos) {
            break;
        }
        buffer_ += "\"\"";
        at = quote + 1;
    }
    buffer_ += '"';
}

void CsvWriter::hex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    const std::size_t start = buffer_.size();
    buffer_.resize(start + 2 * bytes.size());
    char* out = buffer_.data() + start;
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = digits[u >> 4];
        *out++ = digits[u & 0xF];
    }
}

bool CsvWriter::flushIfFull() {
    return buffer_.size() < bufferSize || flush();
}

bool CsvWriter::flush() {
    const bool taken = buffer_.empty() || sink_(buffer_);
    buffer_.clear();
    return taken;
}

} // namespace vdata
