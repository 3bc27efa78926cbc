#include "data/providers/OdbcLink.h"

#include "data/service/Progress.h"

#include <chrono>
#include <future>
#include <thread>

namespace vdata {

OdbcLink::OdbcLink() : env(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    env.check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
    dbc = OdbcHandle(SQL_HANDLE_DBC, env.get());
    SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(odbcConnectSeconds)), 0);
}

OdbcLink::~OdbcLink() {
    if (connected) {
        SQLDisconnect(dbc.get());
    }
}

// The waiting side and the connecting thread share the link; whichever lets
// it go last disconnects it.
std::shared_ptr<OdbcLink> connectOdbc(const std::string& text) {
    auto link = std::make_shared<OdbcLink>();
    std::packaged_task<SQLRETURN()> connect([link, wideText = toUtf16(text)]() mutable {
        const SQLRETURN rc = SQLDriverConnectW(link->dbc.get(), nullptr, wide(wideText),
                                               static_cast<SQLSMALLINT>(wideText.size()), nullptr,
                                               0, nullptr, SQL_DRIVER_NOPROMPT);
        link->connected = succeeded(rc);
        return rc;
    });
    std::future<SQLRETURN> done = connect.get_future();
    std::thread(std::move(connect)).detach();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(odbcConnectSeconds);
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (!progressContinues(0)) {
            throwCancelled();
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw DataError("The server did not answer within " +
                                std::to_string(odbcConnectSeconds) +
                                " seconds, so connecting was given up. Check the server type "
                                "and the server's name and port.",
                            ErrorKind::Connection);
        }
    }
    if (!succeeded(done.get())) {
        const DataError failed = odbcError(SQL_HANDLE_DBC, link->dbc.get());
        throw DataError(failed.what(), ErrorKind::Connection, failed.nativeCode());
    }
    return link;
}

} // namespace vdata
