#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vdata {

class Query;

// Writes a query's result as CSV: a header line with the field names, then
// every record in the query's display order (its current sort). Fields are
// quoted when they hold a comma, a quote, a CR, a LF or a tab, with inner quotes
// doubled; lines end in CRLF. Text is written as its UTF-8 bytes, dates and
// times as the service holds them (yyyy-MM-dd, yyyy-MM-dd HH:mm:ss), NULL as
// an empty field and binary values as lower-case hex digits. Output goes to
// the sink in pieces of about bufferSize bytes.
class CsvWriter {
public:
    // Takes the next piece of output; false stops the writing.
    using Sink = std::function<bool(std::string_view)>;
    static constexpr std::size_t bufferSize = std::size_t(1) << 20;

    explicit CsvWriter(Sink sink);

    // False when the sink refused a piece; what it took before stays written.
    bool write(const Query& query);

private:
    void field(std::string_view bytes);
    void hex(std::string_view bytes);
    void cell(const Query& query, int row, int column);
    bool flushIfFull();
    bool flush();

    Sink sink_;
    std::string buffer_;
};

} // namespace vdata
