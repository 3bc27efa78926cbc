#pragma once

#include <memory>
#include <string>
#include <vector>

// The PostgreSQL server that scripts/test.sh starts for the tests, read from
// the VELDMARK_PG_* environment variables, and helpers around it.
namespace pgtest {

struct PgServer {
    std::string socketDir;
    std::string port;
    std::string database; // owned by the password role
    std::string user;     // role that logs in with a password
    std::string password;
    std::string binDir;
};

// The test server, or nullptr when the harness started none.
const PgServer* testServer();
inline constexpr const char* noServerMessage =
    "No PostgreSQL test server: VELDMARK_PG_HOST is not set (scripts/test.sh starts one)";

// "Data Source" values that reach the test server.
std::string socketDataSource(); // "<socket dir>,<port>"
std::string tcpDataSource();    // "127.0.0.1,<port>"

// A server connection string as the connection dialog builds it: integrated
// security, plus uid/pwd when a user is given.
std::string connectionString(const std::string& dataSource, const std::string& database,
                             const std::string& user = {}, const std::string& password = {});

// Runs SQL as the operating-system identity (the superuser) over the socket
// and returns the rows as text; raises std::runtime_error with the server's
// message.
std::vector<std::vector<std::string>> adminQuery(const std::string& database,
                                                 const std::string& sql);

// A database of its own for one test program, dropped at the end.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const std::string& tag);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const std::string& name() const { return name_; }
    std::string connectionString() const; // integrated security over the socket
    void exec(const std::string& sql) const;
    std::vector<std::vector<std::string>> query(const std::string& sql) const;

private:
    std::string name_;
};

// A small cluster that a test starts and stops itself (server loss, server
// discovery). Its socket goes to `socketDir` (a temporary directory when
// empty); it listens on no TCP address.
class ThrowawayCluster {
public:
    ThrowawayCluster();
    ~ThrowawayCluster();
    ThrowawayCluster(const ThrowawayCluster&) = delete;
    ThrowawayCluster& operator=(const ThrowawayCluster&) = delete;

    // Returns false with error() set when it could not start.
    bool start(const std::string& socketDir = {});
    // Stops at once, as a crash would (sessions are cut off).
    void stop();
    // Stops at once and starts again with the same data, socket and port.
    bool restart();
    bool running() const { return running_; }

    int port() const { return port_; }
    const std::string& socketDir() const { return socketDir_; }
    std::string dataSource() const; // "<socket dir>,<port>"
    const std::string& error() const { return error_; }

private:
    bool launch(int port);

    struct Files;
    std::unique_ptr<Files> files_;
    std::string socketDir_;
    int port_ = 0;
    bool running_ = false;
    std::string error_;
};

} // namespace pgtest
