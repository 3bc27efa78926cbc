#pragma once

// Real sockets that answer the server enumerators: a SQL Server Browser on
// the loopback address and a server's Unix socket that accepts connections;
// and a TCP port that never answers.
#include "data/providers/LocalProbe.h"

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace responders {

// An SVR_RESP packet around `records`.
inline QByteArray browserAnswer(const QByteArray& records) {
    const auto size = records.size();
    return QByteArray(1, 0x05) + char(size & 0xff) + char(size >> 8) + records;
}

// A SQL Server Browser on 127.0.0.1 at a free port: answers each
// CLNT_BCAST_EX or CLNT_UCAST_EX request with `packets`.
class BrowserResponder {
public:
    explicit BrowserResponder(QList<QByteArray> packets)
        : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_.fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(socket_.fd, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, packets] {
            while (!stop_)
                answerRequest(packets);
        });
    }
    ~BrowserResponder() {
        stop_ = true;
        thread_.join();
    }
    std::uint16_t port() const { return port_; }
    int unicastRequests() const { return unicastRequests_; }

private:
    void answerRequest(const QList<QByteArray>& packets) {
        pollfd p{socket_.fd, POLLIN, 0};
        char request = 0;
        sockaddr_in client{};
        socklen_t length = sizeof client;
        if (::poll(&p, 1, 50) != 1 ||
            ::recvfrom(socket_.fd, &request, 1, 0, reinterpret_cast<sockaddr*>(&client), &length) !=
                1)
            return;
        unicastRequests_ += request == 0x03;
        if (request == 0x02 || request == 0x03) {
            for (const QByteArray& packet : packets)
                ::sendto(socket_.fd, packet.data(), packet.size(), 0,
                         reinterpret_cast<sockaddr*>(&client), length);
        }
    }

    vdata::Descriptor socket_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_ = false;
    std::atomic<int> unicastRequests_ = 0;
    std::thread thread_;
};

// A Unix socket at `path` that accepts connections (the kernel completes
// them from the backlog) until it is destroyed; its file is removed then.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::string& path)
        : path_(path), socket_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        listening_ =
            ::bind(socket_.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(socket_.fd, 8) == 0;
    }
    ~ListeningSocket() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    bool listening() const { return listening_; }

private:
    std::string path_;
    vdata::Descriptor socket_;
    bool listening_ = false;
};

// A TCP port on 127.0.0.1 that accepts connections (the kernel completes
// them from the backlog) and never answers, as a server of another kind or
// a hung one does to a client that waits for the server to speak first.
class SilentTcpPort {
public:
    SilentTcpPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        listening_ = ::bind(socket_.fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                     ::listen(socket_.fd, 8) == 0 &&
                     ::getsockname(socket_.fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port_ = ntohs(address.sin_port);
    }
    bool listening() const { return listening_; }
    std::uint16_t port() const { return port_; }

private:
    vdata::Descriptor socket_;
    std::uint16_t port_ = 0;
    bool listening_ = false;
};

} // namespace responders
