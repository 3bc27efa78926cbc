#include "data/providers/DataSourceNames.h"

#include <sql.h>
#include <sqlext.h>

#include <array>

namespace vdata {

std::vector<std::string> dataSourceNames() {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        return {};
    }
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    std::vector<std::string> names;
    std::array<SQLCHAR, SQL_MAX_DSN_LENGTH + 1> name{};
    std::array<SQLCHAR, 256> driver{};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT driverLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(SQLDataSources(env, direction, name.data(), name.size(), &nameLength,
                                      driver.data(), driver.size(), &driverLength));
         direction = SQL_FETCH_NEXT) {
        names.emplace_back(reinterpret_cast<const char*>(name.data()));
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

} // namespace vdata
