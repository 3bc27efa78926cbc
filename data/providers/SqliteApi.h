#pragma once

#include <sqlite3.h>

namespace vdata {

// The SQLite functions the engine calls, as a table, so that the same engine
// code runs on the system library and on SQLCipher. SQLCipher carries its own
// SQLite core with the same symbol names, so it is loaded with deep binding
// (its own calls stay inside it) and reached only through this table.
struct SqliteApi {
    decltype(&sqlite3_open_v2) open_v2;
    decltype(&sqlite3_close_v2) close_v2;
    decltype(&sqlite3_errmsg) errmsg;
    decltype(&sqlite3_errcode) errcode;
    decltype(&sqlite3_extended_errcode) extended_errcode;
    decltype(&sqlite3_busy_timeout) busy_timeout;
    decltype(&sqlite3_prepare_v2) prepare_v2;
    decltype(&sqlite3_step) step;
    decltype(&sqlite3_finalize) finalize;
    decltype(&sqlite3_stmt_readonly) stmt_readonly;
    decltype(&sqlite3_column_count) column_count;
    decltype(&sqlite3_column_name) column_name;
    decltype(&sqlite3_column_decltype) column_decltype;
    decltype(&sqlite3_column_table_name) column_table_name;
    decltype(&sqlite3_column_origin_name) column_origin_name;
    decltype(&sqlite3_column_type) column_type;
    decltype(&sqlite3_column_int64) column_int64;
    decltype(&sqlite3_column_double) column_double;
    decltype(&sqlite3_column_text) column_text;
    decltype(&sqlite3_column_blob) column_blob;
    decltype(&sqlite3_column_bytes) column_bytes;
    decltype(&sqlite3_bind_parameter_count) bind_parameter_count;
    decltype(&sqlite3_bind_int64) bind_int64;
    decltype(&sqlite3_bind_double) bind_double;
    decltype(&sqlite3_bind_text) bind_text;
    decltype(&sqlite3_bind_blob) bind_blob;
    decltype(&sqlite3_bind_null) bind_null;
    decltype(&sqlite3_changes) changes;
    decltype(&sqlite3_total_changes) total_changes;
    decltype(&sqlite3_last_insert_rowid) last_insert_rowid;
    decltype(&sqlite3_reset) reset;
    decltype(&sqlite3_progress_handler) progress_handler;
    decltype(&sqlite3_interrupt) interrupt;
    // Only SQLCipher has it: sets the key of an encrypted database.
    int (*key)(sqlite3*, const void*, int) = nullptr;
    // Where in the SQL the last error lies; null in SQLCipher's older core.
    int (*error_offset)(sqlite3*) = nullptr;
};

// The system SQLite library.
const SqliteApi& systemSqlite();
// SQLCipher, loaded on first use; raises DataError when it cannot be loaded.
const SqliteApi& sqlCipher();

} // namespace vdata
