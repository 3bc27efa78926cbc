#pragma once

#include "data/providers/MariaDbSession.h"
#include "data/providers/MariaDbStatement.h"
#include "data/providers/MariaDbValues.h"
#include "data/service/Engine.h"

#include <memory>
#include <optional>
#include <string>

namespace vdata {

// Reads the rows of a statement on a session of its own, unbuffered: the
// server sends rows as the client takes them, so the first rows come at
// once and writes on the engine's session never wait for the read (InnoDB
// reads without locks, under one snapshot). Destroying the stream closes
// its session, which ends the statement on the server.
class MariaDbTableStream : public RowStream {
public:
    // Runs `sql` on a new session; null when no session can be made.
    static std::unique_ptr<MariaDbTableStream>
    open(const ConnectionString& cs, const std::string& sql, const std::vector<Value>& params);
    ~MariaDbTableStream() override { session_.close(); }

    const std::vector<ColumnInfo>& columns() const { return row_->columns(); }
    bool readMore(Snapshot& rows, std::size_t maxRows) override;
    std::size_t rowsExpected() const override { return expected_; }
    void expectRows(std::size_t rows) { expected_ = rows; }
    // Reads until `count` rows are read or none remain (false then); raises
    // DataError (Cancelled) when the progress callback asks to stop.
    bool readFirst(Snapshot& rows, std::size_t count);

private:
    explicit MariaDbTableStream(const ConnectionString& cs) : session_(cs) {}

    MariaDbSession session_;
    std::optional<MariaDbStatement> stmt_;
    std::optional<MariaDbRow> row_;
    int pending_ = 0; // a fetch begun that waits for the server
    bool done_ = false;
    std::size_t expected_ = 0;
};

} // namespace vdata
