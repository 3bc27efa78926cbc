#include "data/providers/AccessReaderProcess.h"

#include "data/service/Errors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

extern char** environ;

namespace vdata {
namespace {

namespace fs = std::filesystem;
using accessreader::Message;

constexpr const char* readerName = "veldmark-access-reader";

// Beside the program, in the installed layout's libexec folder, or where
// the build put it (tests and benchmarks run from the build tree).
std::string readerProgram() {
    std::error_code failed;
    const fs::path program = fs::read_symlink("/proc/self/exe", failed);
    if (!failed) {
        const fs::path folder = program.parent_path();
        for (const fs::path& candidate :
             {folder / readerName, folder / "../libexec/veldmark" / readerName}) {
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate.string();
            }
        }
    }
    return VELDMARK_ACCESS_READER_BUILT;
}

DataError damaged(const std::string& what) {
    return DataError(what + "; the file is damaged.", ErrorKind::NotADatabase);
}

pid_t reap(pid_t pid, int& status) {
    pid_t done = -1;
    do {
        done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    return done;
}

} // namespace

template <typename Parse> auto AccessReaderProcess::parsed(Parse parse) {
    try {
        return parse();
    } catch (const std::out_of_range&) {
        failWith("The Access reader sent a broken answer for '" + path_ + "'");
    }
}

AccessReaderProcess::AccessReaderProcess(std::string path) : path_(std::move(path)) {
    start();
}

AccessReaderProcess::~AccessReaderProcess() {
    stop();
}

void AccessReaderProcess::start() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        throw DataError(std::string("The Access reader could not be started: ") +
                            std::strerror(errno) + ".",
                        ErrorKind::Connection);
    }
    std::string program = readerProgram();
    std::string path = path_;
    char* argv[] = {program.data(), path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    // MDB Tools reports what it finds odd in a file on the standard error.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int failed = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        pid_ = -1;
        throw DataError("The Access reader (" + program +
                            ") could not be started: " + std::strerror(failed) + ".",
                        ErrorKind::Connection);
    }
    socket_ = ends[0];
    input_.clear();
    consumed_ = 0;
    heard_ = Clock::now();
    try {
        const Frame answer = expect(Message::Tables);
        tables_ = parsed([&] {
            accessreader::MessageReader fields(answer.payload);
            std::vector<std::string> tables;
            while (!fields.atEnd()) {
                tables.emplace_back(fields.getBytes());
            }
            return tables;
        });
    } catch (...) {
        stop();
        throw;
    }
}

void AccessReaderProcess::stop() noexcept {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        reap(pid_, status);
        pid_ = -1;
    }
}

void AccessReaderProcess::ensureStarted() {
    if (pid_ < 0) {
        start();
    }
}

std::vector<AccessColumn> AccessReaderProcess::columns(const std::string& table) {
    ensureStarted();
    ask(Message::AskColumns, table);
    const Frame answer = expect(Message::Columns);
    return parsed([&] {
        accessreader::MessageReader fields(answer.payload);
        std::vector<AccessColumn> columns;
        while (!fields.atEnd()) {
            columns.push_back(fields.getColumn());
        }
        return columns;
    });
}

void AccessReaderProcess::readRows(const std::string& table, const AccessRowSink& sink) {
    askRows(table);
    while (takeRows(sink, std::numeric_limits<std::size_t>::max(), silenceLimit)) {
    }
}

void AccessReaderProcess::askRows(const std::string& table) {
    ensureStarted();
    ask(Message::AskRows, table);
}

bool AccessReaderProcess::takeRows(const AccessRowSink& sink, std::size_t maxRows,
                                   std::chrono::milliseconds wait) {
    try {
        const Clock::time_point until = Clock::now() + wait;
        std::vector<Value> row;
        for (std::size_t taken = 0; taken < maxRows; ++taken) {
            const std::optional<Frame> frame = receiveWithin(until - Clock::now());
            if (!frame) {
                return true;
            }
            if (frame->type == Message::End) {
                return false;
            }
            if (frame->type != Message::Row) {
                expect(Message::Row, *frame);
            }
            parsed([&] {
                accessreader::MessageReader fields(frame->payload);
                row.clear();
                while (!fields.atEnd()) {
                    fields.getValue(row.emplace_back());
                }
            });
            sink(row);
        }
        return true;
    } catch (...) {
        stop(); // the reader is half-way through the table
        throw;
    }
}

void AccessReaderProcess::ask(Message type, const std::string& table) {
    accessreader::MessageWriter request;
    request.begin(type);
    request.buffer() += table;
    request.end();
    std::string_view rest = request.buffer();
    while (!rest.empty()) {
        const ssize_t sent = ::send(socket_, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            readerEnded();
        }
        rest.remove_prefix(static_cast<std::size_t>(sent));
    }
    heard_ = Clock::now();
}

// The payload stays valid until the next call.
AccessReaderProcess::Frame AccessReaderProcess::receive() {
    std::optional<Frame> frame;
    while (!(frame = receiveWithin(silenceLimit))) {
    }
    return *frame;
}

// A whole message that is at hand or arrives within `wait`; none otherwise.
std::optional<AccessReaderProcess::Frame> AccessReaderProcess::receiveWithin(Clock::duration wait) {
    if (!fillWithin(accessreader::headerSize, wait)) {
        return std::nullopt;
    }
    const std::uint32_t length = accessreader::payloadLength(input_.data() + consumed_);
    if (length > accessreader::maxPayload) {
        failWith("The Access reader sent a broken answer for '" + path_ + "'");
    }
    if (!fillWithin(accessreader::headerSize + length, wait)) {
        return std::nullopt;
    }
    Frame frame{static_cast<Message>(input_[consumed_]),
                std::string_view(input_).substr(consumed_ + accessreader::headerSize, length)};
    consumed_ += accessreader::headerSize + length;
    return frame;
}

// Reads until `wanted` bytes past those consumed are at hand, or `wait` has
// passed; returns whether they are. Silence counts from what was last heard,
// so that a reader that says nothing for that long is ended even while it is
// asked in short steps.
bool AccessReaderProcess::fillWithin(std::size_t wanted, Clock::duration wait) {
    if (input_.size() - consumed_ >= wanted) {
        return true;
    }
    input_.erase(0, consumed_);
    consumed_ = 0;
    const Clock::time_point until = Clock::now() + wait;
    char chunk[64 * 1024];
    while (input_.size() < wanted) {
        const Clock::time_point silent = heard_ + silenceLimit;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(std::min(until, silent) - Clock::now());
        pollfd ready{socket_, POLLIN, 0};
        const int n = ::poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (n == 0 || (n < 0 && errno == EINTR)) {
            if (Clock::now() >= silent) {
                failWith("Reading '" + path_ + "' made no progress for " +
                         std::to_string(silenceLimit.count()) + " seconds and was stopped");
            }
            if (Clock::now() >= until) {
                return false;
            }
            continue;
        }
        const ssize_t got = ::read(socket_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            readerEnded();
        }
        heard_ = Clock::now();
        input_.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

AccessReaderProcess::Frame AccessReaderProcess::expect(Message type) {
    return expect(type, receive());
}

AccessReaderProcess::Frame AccessReaderProcess::expect(Message type, Frame frame) {
    if (frame.type == Message::Error) {
        const std::string message = parsed(
            [&] { return std::string(accessreader::MessageReader(frame.payload).getBytes()); });
        throw DataError(message, ErrorKind::NotADatabase);
    }
    if (frame.type != type) {
        failWith("The Access reader sent an unexpected answer for '" + path_ + "'");
    }
    return frame;
}

void AccessReaderProcess::failWith(const std::string& message) {
    stop();
    throw damaged(message);
}

// The reader has gone: it crashed, ran out of memory or was ended.
void AccessReaderProcess::readerEnded() {
    int status = 0;
    const bool reaped = pid_ > 0 && reap(pid_, status) == pid_;
    pid_ = -1;
    stop();
    std::string how = "ended";
    if (reaped && WIFSIGNALED(status)) {
        how = "was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
              ::strsignal(WTERMSIG(status)) + ")";
    } else if (reaped && WIFEXITED(status)) {
        how = "ended with exit status " + std::to_string(WEXITSTATUS(status));
    }
    throw damaged("The Access reader " + how + " while reading '" + path_ + "'");
}

} // namespace vdata
