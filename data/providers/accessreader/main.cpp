// The Access reader: reads one Access file through MDB Tools for the program,
// which starts it with the file's path and talks to it over its standard
// input and output (see AccessReaderProtocol.h). A damaged file can send the
// library into a loop or a crash; here that ends this process only, and the
// program reports it.
#include "data/providers/accessreader/AccessReaderProtocol.h"
#include "data/providers/accessreader/MdbReader.h"
#include "data/service/Errors.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <new>

namespace {

using namespace vdata;
using namespace vdata::accessreader;
using Clock = std::chrono::steady_clock;

// More than reading any table of a file of the format's 2 GiB needs; a
// damaged file that makes the library allocate without end stops here.
constexpr rlim_t memoryLimit = rlim_t(1) << 30;

void limitResources() {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer reserves far more address space
    const rlimit memory{memoryLimit, memoryLimit};
    setrlimit(RLIMIT_AS, &memory);
#endif
}

bool readFully(int fd, char* at, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::read(fd, at, n);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        at += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// The protocol's two ends: requests in, answers out. Answers are sent in
// blocks, and at least every 50 ms while rows are read, so that the program
// sees a slow read progress. A block holds at most 256 rows, so that the
// program can show the first rows of a table while the rest are read.
class Channel {
public:
    Channel(int in, int out) : in_(in), out_(out) {}

    bool readRequest(Message& type, std::string& name) {
        char header[headerSize];
        if (!readFully(in_, header, headerSize)) {
            return false;
        }
        type = static_cast<Message>(header[0]);
        name.resize(payloadLength(header));
        return readFully(in_, name.data(), name.size());
    }

    MessageWriter& writer() { return writer_; }

    // Called after each row.
    void flushIfDue() {
        if (++rows_ == rowsPerBlock || writer_.buffer().size() >= blockSize ||
            Clock::now() - flushed_ > flushInterval) {
            flush();
        }
    }

    void flush() {
        std::string& buffer = writer_.buffer();
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = ::write(out_, buffer.data() + done, buffer.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                std::_Exit(0); // the program has gone
            }
            done += static_cast<std::size_t>(n);
        }
        buffer.clear();
        flushed_ = Clock::now();
        rows_ = 0;
    }

    void sendError(const std::string& message) {
        writer_.begin(Message::Error);
        writer_.putBytes(message);
        writer_.end();
        flush();
    }

private:
    static constexpr std::size_t blockSize = 256 * 1024;
    static constexpr std::size_t rowsPerBlock = 256;
    static constexpr auto flushInterval = std::chrono::milliseconds(50);
    int in_;
    int out_;
    MessageWriter writer_;
    Clock::time_point flushed_ = Clock::now();
    std::size_t rows_ = 0; // since the last flush
};

void sendTables(Channel& channel, const MdbReader& reader) {
    MessageWriter& w = channel.writer();
    w.begin(Message::Tables);
    for (const std::string& table : reader.tables()) {
        w.putBytes(table);
    }
    w.end();
    channel.flush();
}

void sendColumns(Channel& channel, MdbReader& reader, const std::string& table) {
    const std::vector<AccessColumn> columns = reader.columns(table);
    MessageWriter& w = channel.writer();
    w.begin(Message::Columns);
    for (const AccessColumn& c : columns) {
        w.putColumn(c);
    }
    w.end();
    channel.flush();
}

void sendRows(Channel& channel, MdbReader& reader, const std::string& table) {
    MessageWriter& w = channel.writer();
    reader.readRows(table, [&](const std::vector<Value>& row) {
        w.begin(Message::Row);
        for (const Value& v : row) {
            w.putValue(v);
        }
        w.end();
        channel.flushIfDue();
    });
    w.begin(Message::End);
    w.end();
    channel.flush();
}

// Runs `work`; a failure goes to the program as an Error message, without
// the rows of a read cut short.
template <typename Work> void answer(Channel& channel, const std::string& path, Work work) {
    try {
        work();
    } catch (const DataError& e) {
        channel.writer().buffer().clear();
        channel.sendError(e.what());
    } catch (const std::bad_alloc&) {
        channel.writer().buffer().clear();
        channel.sendError("Reading '" + path +
                          "' needs more memory than any Access file does; the file is damaged.");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    limitResources();
    // The protocol gets descriptors of its own, so that nothing the library
    // prints can break into it.
    Channel channel(::dup(STDIN_FILENO), ::dup(STDOUT_FILENO));
    const int nowhere = ::open("/dev/null", O_RDWR);
    ::dup2(nowhere, STDIN_FILENO);
    ::dup2(nowhere, STDOUT_FILENO);

    const std::string path = argv[1];
    std::unique_ptr<MdbReader> reader;
    answer(channel, path, [&] {
        reader = std::make_unique<MdbReader>(path);
        sendTables(channel, *reader);
    });
    Message type{};
    std::string table;
    while (reader && channel.readRequest(type, table)) {
        answer(channel, path, [&] {
            if (type == Message::AskColumns) {
                sendColumns(channel, *reader, table);
            } else {
                sendRows(channel, *reader, table);
            }
        });
    }
    return 0;
}
