#pragma once

#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <memory>

namespace vdata {

// Connects to a PostgreSQL server ("Provider=SQLOLEDB.1") and returns the
// open session. "Data Source" names the server (see PostgresServerName.h),
// "Initial Catalog" the database (the maintenance database "postgres" when
// absent), "uid"/"pwd" a login; without "uid" the operating-system identity
// logs in. Raises DataError with libpq's message when the connection fails.
std::unique_ptr<Engine> openPostgresEngine(const ConnectionString& cs);

} // namespace vdata
