#pragma once

#include "data/providers/accessreader/AccessReaderProtocol.h"

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vdata {

// An Access file read by the Access reader, a helper process that reads it
// through MDB Tools (see AccessReaderProtocol.h). A reader that crashes, runs
// out of memory or sends nothing for `silenceLimit` is ended, and the file is
// reported as damaged with a DataError; the next request starts a new reader.
class AccessReaderProcess {
public:
    static constexpr std::chrono::seconds silenceLimit{5};

    // Starts the reader on `path` and takes the file's table list.
    explicit AccessReaderProcess(std::string path);
    ~AccessReaderProcess();
    AccessReaderProcess(const AccessReaderProcess&) = delete;
    AccessReaderProcess& operator=(const AccessReaderProcess&) = delete;

    // The user tables in catalogue order, without the system tables.
    const std::vector<std::string>& tables() const { return tables_; }

    const std::string& path() const { return path_; }

    std::vector<AccessColumn> columns(const std::string& table);
    // Hands each row of `table` to `sink`. What the sink throws ends the
    // read (and the reader, which is mid-way through the table).
    void readRows(const std::string& table, const AccessRowSink& sink);

    // The same in steps: askRows asks for the rows of `table`, and each
    // takeRows hands `sink` the rows that arrive within `wait`, at most
    // `maxRows`, and returns whether the read goes on. Nothing else may be
    // asked until it has ended.
    void askRows(const std::string& table);
    bool takeRows(const AccessRowSink& sink, std::size_t maxRows, std::chrono::milliseconds wait);
    // Leaves a read in steps before its end: the reader, mid-way through the
    // table, is ended, and the next request starts it again.
    void abandonRows() noexcept { stop(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Frame {
        accessreader::Message type{};
        std::string_view payload;
    };

    void start();
    void stop() noexcept;
    void ensureStarted();
    void ask(accessreader::Message type, const std::string& table);
    Frame receive();
    std::optional<Frame> receiveWithin(Clock::duration wait);
    bool fillWithin(std::size_t wanted, Clock::duration wait);
    [[noreturn]] void failWith(const std::string& message);
    // Runs `parse` over a message; a message shorter than its fields ends the
    // reader as failWith does.
    template <typename Parse> auto parsed(Parse parse);
    [[noreturn]] void readerEnded();
    Frame expect(accessreader::Message type);
    Frame expect(accessreader::Message type, Frame frame);

    std::string path_;
    pid_t pid_ = -1;
    int socket_ = -1;
    std::string input_;
    std::size_t consumed_ = 0;
    Clock::time_point heard_; // when the reader last sent or was asked something
    std::vector<std::string> tables_;
};

} // namespace vdata
