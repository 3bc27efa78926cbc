#include "data/providers/SqlServerBrowser.h"

#include "data/providers/LocalProbe.h"
#include "data/service/TextHelpers.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <map>

namespace vdata {

namespace {

constexpr char clientBroadcastEx = 0x02;
constexpr char clientUnicastEx = 0x03;
constexpr unsigned char serverResponse = 0x05;
constexpr std::string_view defaultInstance = "MSSQLSERVER";

// One ";"-separated record as key/value pairs, keys in upper case.
std::map<std::string, std::string> recordFields(std::string_view record) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = record.find(';', start)) != std::string_view::npos;
         start = end + 1) {
        parts.push_back(record.substr(start, end - start));
    }
    parts.push_back(record.substr(start));
    std::map<std::string, std::string> fields;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string key(parts[i]);
        std::transform(key.begin(), key.end(), key.begin(), ::toupper);
        fields.emplace(key, parts[i + 1]);
    }
    return fields;
}

std::string instanceName(std::string_view record) {
    const auto fields = recordFields(record);
    const auto server = fields.find("SERVERNAME");
    const auto instance = fields.find("INSTANCENAME");
    if (server == fields.end() || instance == fields.end() || server->second.empty() ||
        instance->second.empty()) {
        return {};
    }
    if (equalsIgnoreCase(instance->second, defaultInstance)) {
        return server->second;
    }
    return server->second + '\\' + instance->second;
}

// The loopback address and the broadcast address of every IPv4 network.
std::vector<in_addr> browserTargets() {
    std::vector<in_addr> targets{{htonl(INADDR_LOOPBACK)}};
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return targets;
    }
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_BROADCAST) &&
            i->ifa_broadaddr) {
            targets.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr);
        }
    }
    ::freeifaddrs(list);
    return targets;
}

// The IPv4 addresses of `host` (an empty list when it has none).
std::vector<in_addr> hostAddresses(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) {
        return {};
    }
    std::vector<in_addr> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        addresses.push_back(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
    }
    ::freeaddrinfo(found);
    return addresses;
}

// One host is asked by CLNT_UCAST_EX, the networks by CLNT_BCAST_EX.
void sendRequests(int fd, std::uint16_t port, const std::string& host) {
    const char request = host.empty() ? clientBroadcastEx : clientUnicastEx;
    for (const in_addr& target : host.empty() ? browserTargets() : hostAddresses(host)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr = target;
        ::sendto(fd, &request, 1, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
}

} // namespace

std::vector<std::string> browserAnswerInstances(std::string_view packet) {
    if (packet.size() < 3 || static_cast<unsigned char>(packet[0]) != serverResponse) {
        return {};
    }
    const std::size_t length =
        static_cast<unsigned char>(packet[1]) | static_cast<unsigned char>(packet[2]) << 8;
    if (packet.size() < 3 + length) {
        return {};
    }
    std::vector<std::string> names;
    std::string_view data = packet.substr(3, length);
    for (std::size_t end; !data.empty(); data.remove_prefix(std::min(end + 2, data.size()))) {
        end = data.find(";;");
        if (std::string name = instanceName(data.substr(0, end)); !name.empty()) {
            names.push_back(std::move(name));
        }
        if (end == std::string_view::npos) {
            break;
        }
    }
    return names;
}

std::vector<std::string> browseSqlServers(std::uint16_t port, std::chrono::milliseconds wait,
                                          const std::string& host) {
    const Descriptor s{::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    if (s.fd < 0) {
        return {};
    }
    const int on = 1;
    ::setsockopt(s.fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sendRequests(s.fd, port, host);
    std::vector<std::string> names;
    std::array<char, 65536> buffer;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        pollfd p{s.fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) != 1) {
            continue;
        }
        const ssize_t got = ::recv(s.fd, buffer.data(), buffer.size(), 0);
        if (got > 0) {
            const auto found = browserAnswerInstances({buffer.data(), std::size_t(got)});
            names.insert(names.end(), found.begin(), found.end());
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace vdata
