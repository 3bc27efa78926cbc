#include "tests/support/PgTestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace pgtest {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

std::string osUser() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw != nullptr ? pw->pw_name : env("USER");
}

bool tcpPortFree(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return free;
}

// Runs a server binary, as the postgres system user when we are root.
bool runServerTool(const std::string& tool, const QStringList& args, const QString& workDir,
                   QString& output) {
    const PgServer* server = testServer();
    const QString binDir = QString::fromStdString(server != nullptr && !server->binDir.empty()
                                                      ? server->binDir
                                                      : "/usr/lib/postgresql/15/bin");
    const QString program = binDir + "/" + QString::fromStdString(tool);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(workDir); // the server user may not enter the caller's directory
    if (runningAsRoot()) {
        p.start("runuser", QStringList{"-u", "postgres", "--", program} + args);
    } else {
        p.start(program, args);
    }
    const bool finished = p.waitForFinished(60000);
    output = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

const PgServer* testServer() {
    static const PgServer server{env("VELDMARK_PG_HOST"),     env("VELDMARK_PG_PORT"),
                                 env("VELDMARK_PG_DB"),       env("VELDMARK_PG_USER"),
                                 env("VELDMARK_PG_PASSWORD"), env("VELDMARK_PG_BINDIR")};
    return server.socketDir.empty() || server.port.empty() ? nullptr : &server;
}

std::string socketDataSource() {
    return testServer()->socketDir + "," + testServer()->port;
}
std::string tcpDataSource() {
    return "127.0.0.1," + testServer()->port;
}

std::string connectionString(const std::string& dataSource, const std::string& database,
                             const std::string& user, const std::string& password) {
    std::string cs = "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                     "Initial Catalog=" +
                     database + ";Data Source=" + dataSource;
    if (!user.empty()) {
        cs += ";uid=" + user + ";pwd=" + password;
    }
    return cs;
}

std::vector<std::vector<std::string>> adminQuery(const std::string& database,
                                                 const std::string& sql) {
    const PgServer* server = testServer();
    const char* keys[] = {"host", "port", "dbname", "user", nullptr};
    const std::string user = osUser();
    const char* values[] = {server->socketDir.c_str(), server->port.c_str(), database.c_str(),
                            user.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error(message);
    }
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(r);
    std::vector<std::vector<std::string>> rows;
    std::string error;
    if (status == PGRES_TUPLES_OK) {
        for (int i = 0; i < PQntuples(r); ++i) {
            rows.emplace_back();
            for (int c = 0; c < PQnfields(r); ++c) {
                rows.back().emplace_back(PQgetvalue(r, i, c));
            }
        }
    } else if (status != PGRES_COMMAND_OK) {
        error = PQerrorMessage(conn);
    }
    PQclear(r);
    PQfinish(conn);
    if (!error.empty()) {
        throw std::runtime_error(error);
    }
    return rows;
}

ScratchDatabase::ScratchDatabase(const std::string& tag)
    : name_("vt_" + tag + "_" + std::to_string(::getpid())) {
    adminQuery("postgres", "DROP DATABASE IF EXISTS " + name_);
    adminQuery("postgres", "CREATE DATABASE " + name_);
}

ScratchDatabase::~ScratchDatabase() {
    try {
        adminQuery("postgres", "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception&) {
        // The cluster is removed after the run anyway.
    }
}

std::string ScratchDatabase::connectionString() const {
    return pgtest::connectionString(socketDataSource(), name_);
}

void ScratchDatabase::exec(const std::string& sql) const {
    adminQuery(name_, sql);
}

std::vector<std::vector<std::string>> ScratchDatabase::query(const std::string& sql) const {
    return adminQuery(name_, sql);
}

struct ThrowawayCluster::Files {
    QTemporaryDir dir{QDir::tempPath() + "/veldmark-tc.XXXXXX"};
};

ThrowawayCluster::ThrowawayCluster() = default;

ThrowawayCluster::~ThrowawayCluster() {
    stop();
}

bool ThrowawayCluster::start(const std::string& socketDir) {
    files_ = std::make_unique<Files>();
    const QString base = files_->dir.path();
    if (runningAsRoot()) {
        const passwd* pg = ::getpwnam("postgres");
        if (pg == nullptr || ::chown(base.toLocal8Bit().constData(), pg->pw_uid, pg->pw_gid) != 0) {
            error_ = "cannot hand the cluster directory to the postgres user";
            return false;
        }
    }
    socketDir_ = socketDir.empty() ? base.toStdString() : socketDir;
    const QString data = base + "/data";
    QString output;
    if (!runServerTool("initdb",
                       {"-D", data, "-U", QString::fromStdString(osUser()), "-A", "trust", "-E",
                        "UTF8", "--no-locale", "--no-sync"},
                       base, output)) {
        error_ = "initdb failed: " + output.toStdString();
        return false;
    }
    for (int attempt = 0; attempt < 8 && !running_; ++attempt) {
        const int port = 20000 + static_cast<int>(QRandomGenerator::global()->bounded(30000));
        const QString socketFile =
            QString::fromStdString(socketDir_) + "/.s.PGSQL." + QString::number(port);
        if (tcpPortFree(port) && !QFile::exists(socketFile)) {
            launch(port);
        }
    }
    return running_;
}

bool ThrowawayCluster::restart() {
    stop();
    return launch(port_);
}

bool ThrowawayCluster::launch(int port) {
    const QString base = files_->dir.path();
    const QString options = QString("-k %1 -p %2 -c listen_addresses='' -c fsync=off")
                                .arg(QString::fromStdString(socketDir_))
                                .arg(port);
    QString output;
    if (runServerTool("pg_ctl",
                      {"-D", base + "/data", "-l", base + "/server.log", "-w", "-t", "30", "-s",
                       "-o", options, "start"},
                      base, output)) {
        port_ = port;
        running_ = true;
    } else {
        error_ = "pg_ctl start failed: " + output.toStdString();
    }
    return running_;
}

void ThrowawayCluster::stop() {
    if (running_) {
        QString output;
        runServerTool("pg_ctl",
                      {"-D", files_->dir.path() + "/data", "-m", "immediate", "-s", "stop"},
                      files_->dir.path(), output);
        running_ = false;
    }
}

std::string ThrowawayCluster::dataSource() const {
    return socketDir_ + "," + std::to_string(port_);
}

} // namespace pgtest
