#pragma once

#include "data/service/Engine.h"

#include <cstddef>
#include <memory>

namespace vdata {

// Reads the rest of a result into its snapshot in steps: the stream of an
// engine (rows fetched on the window's thread, or taken from a reader
// thread of the engine's, whose failures the stream raises here). A step
// that fails ends the read, keeping the rows read, and raises; nothing is
// left waiting for a reader that failed.
class RowReader {
public:
    // Starts reading `stream` into `rows` (which it must not outlive), with
    // room made for the rows the stream expects.
    void start(std::unique_ptr<RowStream> stream, Snapshot& rows);
    bool reading() const { return stream_ != nullptr; }
    // Whether the last read ended before its last row (stop, a failure);
    // until the next start.
    bool stopped() const { return stopped_; }

    // Appends up to `maxRows` rows and returns whether rows remain.
    bool readMore(std::size_t maxRows);
    // Whether the installed progress lets a long read go on.
    bool wanted() const;
    static constexpr std::size_t rowsPerStep = 65536;
    // Ends the read early.
    void stop();
    // Drops the stream and forgets the rows (the snapshot goes away).
    void reset();

private:
    void finish();

    std::unique_ptr<RowStream> stream_;
    Snapshot* rows_ = nullptr;
    bool stopped_ = false;
};

} // namespace vdata
