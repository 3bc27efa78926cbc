#include "data/providers/ServerEnumerator.h"

#include "data/providers/PostgresServerName.h"
#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

namespace vdata {

namespace {

namespace fs = std::filesystem;

const char* const socketPrefix = ".s.PGSQL.";
constexpr int probeTimeoutMs = 300;

// Closes a file descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// A socket file left by a server that crashed has no listener behind it.
bool socketAcceptsConnections(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    Descriptor s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    return s.fd >= 0 &&
           ::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// The ports of the live servers whose sockets are in `directory`.
std::vector<int> serverPorts(const fs::path& directory) {
    std::vector<int> ports;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(socketPrefix, 0) != 0 ||
            name.find('.', std::strlen(socketPrefix)) != std::string::npos) {
            continue; // skips the ".lock" files
        }
        const std::string digits = name.substr(std::strlen(socketPrefix));
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit) ||
            digits.size() > 5) {
            continue;
        }
        std::error_code typeError;
        if (entry.is_socket(typeError) && socketAcceptsConnections(entry.path())) {
            ports.push_back(std::stoi(digits));
        }
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

// A non-blocking connect to 127.0.0.1:5432 that gives up after a short wait.
bool loopbackPortOpen(int port) {
    Descriptor s{::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)};
    if (s.fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    if (errno != EINPROGRESS) {
        return false;
    }
    pollfd p{s.fd, POLLOUT, 0};
    if (::poll(&p, 1, probeTimeoutMs) != 1) {
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// Servers on this host: live sockets in the standard socket directories
// (each directory once, however it is reached), then the default port on
// loopback unless a socket already showed a server on that port.
std::vector<SourceRow> postgresSources() {
    std::vector<SourceRow> rows;
    std::set<fs::path> seen;
    bool defaultPortSeen = false;
    const std::string defaultDir = defaultSocketDirectory();
    for (const char* dir : {defaultDir.c_str(), "/var/run/postgresql", "/run/postgresql", "/tmp"}) {
        std::error_code ec;
        const fs::path real = fs::canonical(dir, ec);
        if (ec || !seen.insert(real).second) {
            continue;
        }
        const bool isDefault = fs::equivalent(real, defaultDir, ec);
        for (int port : serverPorts(real)) {
            const std::string name =
                serverNameForSocket(isDefault ? defaultDir : std::string(dir), port);
            const std::string socket =
                (fs::path(dir) / (socketPrefix + std::to_string(port))).string();
            rows.push_back({name, 1, "PostgreSQL server on socket " + socket});
            defaultPortSeen = defaultPortSeen || port == 5432;
        }
    }
    if (!defaultPortSeen && loopbackPortOpen(5432)) {
        rows.push_back({"127.0.0.1", 1, "PostgreSQL server on 127.0.0.1 port 5432"});
    }
    return rows;
}

} // namespace

std::vector<SourceRow> enumerateSources(const std::string& progId) {
    if (equalsIgnoreCase(progId, "SQLOLEDB Enumerator")) {
        return postgresSources();
    }
    throw DataError("The enumerator \"" + progId + "\" is not registered");
}

} // namespace vdata
