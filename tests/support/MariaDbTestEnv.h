#pragma once

#include <string>
#include <vector>

// The MariaDB server that scripts/test.sh starts for the tests, read from
// the VELDMARK_MARIADB_* environment variables.
namespace mariadbtest {

struct MariaDbServer {
    std::string socket;
    std::string port;
    std::string database; // the password login may use it
    std::string user;     // login with a password
    std::string password;
};

// The test server, or nullptr when the harness started none.
const MariaDbServer* testServer();

// Runs SQL (several statements allowed; "x" names things) as the
// operating-system identity over the socket and returns the rows as text;
// raises std::runtime_error with the client's message.
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
    // "MariaDB / MySQL" with integrated security over the socket, as the
    // server dialog writes it (the native provider).
    std::string connectionString() const;
    // The same server and login through the ODBC provider and MariaDB's
    // ODBC driver.
    std::string odbcConnectionString() const;
    void exec(const std::string& sql) const { adminQuery(name_, sql); }

private:
    std::string name_;
};

} // namespace mariadbtest
