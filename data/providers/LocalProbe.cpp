#include "data/providers/LocalProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace vdata {

namespace {

constexpr int probeTimeoutMs = 300;

} // namespace

Descriptor::~Descriptor() {
    if (fd >= 0) {
        ::close(fd);
    }
}

bool socketAcceptsConnections(const std::filesystem::path& path) {
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

} // namespace vdata
