#include "data/providers/PostgresServerName.h"

#include "data/service/TextHelpers.h"

#include <pg_config_manual.h>

namespace vdata {

namespace {

bool isLocalName(const std::string& host) {
    return host.empty() || host == "." || equalsIgnoreCase(host, "(local)");
}

// Splits "host,port", "host:port" and "[v6]:port". A name with several
// colons and no brackets is an IPv6 address without a port.
std::pair<std::string, std::string> splitPort(const std::string& name) {
    const std::string_view text(name);
    if (auto comma = name.rfind(','); comma != std::string::npos) {
        return {std::string(trimmed(text.substr(0, comma))),
                std::string(trimmed(text.substr(comma + 1)))};
    }
    if (name.size() > 1 && name.front() == '[') {
        const auto close = name.find(']');
        if (close != std::string::npos) {
            const std::string rest = name.substr(close + 1);
            return {name.substr(1, close - 1),
                    rest.size() > 1 && rest[0] == ':' ? rest.substr(1) : ""};
        }
    }
    const auto colon = name.find(':');
    if (colon != std::string::npos && name.find(':', colon + 1) == std::string::npos) {
        return {std::string(trimmed(text.substr(0, colon))),
                std::string(trimmed(text.substr(colon + 1)))};
    }
    return {name, ""};
}

} // namespace

const char* defaultSocketDirectory() {
    return DEFAULT_PGSOCKET_DIR;
}

PostgresAddress parseServerName(const std::string& name) {
    auto [host, port] = splitPort(std::string(trimmed(name)));
    if (isLocalName(host)) {
        host = defaultSocketDirectory();
    }
    return {host, port.empty() ? defaultPostgresPort : port};
}

std::string serverNameForSocket(const std::string& directory, int port) {
    const std::string host = directory == defaultSocketDirectory() ? "(local)" : directory;
    const std::string portText = std::to_string(port);
    return portText == defaultPostgresPort ? host : host + "," + portText;
}

std::vector<std::pair<std::string, std::string>> postgresConnectParams(const ConnectionString& cs) {
    const PostgresAddress address = parseServerName(cs.value("Data Source"));
    std::string database = cs.value("Initial Catalog");
    if (database.empty()) {
        database = "postgres";
    }
    std::vector<std::pair<std::string, std::string>> params = {
        {"host", address.host},   {"port", address.port},      {"dbname", database},
        {"connect_timeout", "5"}, {"client_encoding", "UTF8"}, {"application_name", "Veldmark"},
    };
    // A typed login wins over integrated security; an empty one means the
    // operating-system identity.
    const std::string user = cs.value("uid");
    if (!user.empty()) {
        params.emplace_back("user", user);
        params.emplace_back("password", cs.value("pwd"));
    }
    return params;
}

} // namespace vdata
