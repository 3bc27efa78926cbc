#pragma once

#include <filesystem>

namespace vdata {

// Closes a file descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();
};

// Whether a server listens behind the Unix socket file `path` (a socket file
// left by a server that crashed has no listener behind it).
bool socketAcceptsConnections(const std::filesystem::path& path);

// Whether something listens on 127.0.0.1:`port`; gives up after a short wait.
bool loopbackPortOpen(int port);

} // namespace vdata
