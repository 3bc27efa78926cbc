#include "data/providers/SqliteApi.h"

#include "data/service/Errors.h"

#include <dlfcn.h>

#include <string>

namespace vdata {
namespace {

#define VDATA_SQLITE_FUNCTIONS(X)                                                                  \
    X(open_v2)                                                                                     \
    X(close_v2)                                                                                    \
    X(errmsg)                                                                                      \
    X(errcode)                                                                                     \
    X(extended_errcode)                                                                            \
    X(busy_timeout)                                                                                \
    X(prepare_v2)                                                                                  \
    X(step)                                                                                        \
    X(finalize)                                                                                    \
    X(stmt_readonly)                                                                               \
    X(column_count)                                                                                \
    X(column_name)                                                                                 \
    X(column_decltype)                                                                             \
    X(column_table_name)                                                                           \
    X(column_origin_name)                                                                          \
    X(column_type)                                                                                 \
    X(column_int64)                                                                                \
    X(column_double)                                                                               \
    X(column_text)                                                                                 \
    X(column_blob)                                                                                 \
    X(column_bytes)                                                                                \
    X(bind_parameter_count)                                                                        \
    X(bind_int64)                                                                                  \
    X(bind_double)                                                                                 \
    X(bind_text)                                                                                   \
    X(bind_blob)                                                                                   \
    X(bind_null)                                                                                   \
    X(changes)                                                                                     \
    X(total_changes)                                                                               \
    X(last_insert_rowid)                                                                           \
    X(reset)                                                                                       \
    X(progress_handler)                                                                            \
    X(interrupt)

SqliteApi makeSystemApi() {
    SqliteApi api{};
#define VDATA_DIRECT(name) api.name = &sqlite3_##name;
    VDATA_SQLITE_FUNCTIONS(VDATA_DIRECT)
#undef VDATA_DIRECT
    api.error_offset = &sqlite3_error_offset;
    return api;
}

template <typename F> void bind(void* handle, const char* name, F& target) {
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        throw DataError(std::string("SQLCipher lacks the function ") + name +
                            "; password-protected databases cannot be opened.",
                        ErrorKind::Connection);
    }
    target = reinterpret_cast<F>(symbol);
}

// AddressSanitizer's dlopen refuses deep binding, because a deep-bound library
// calls the C library's malloc and free rather than the sanitizer's. SQLCipher
// never hands its memory to the program nor takes the program's (text and
// blobs are bound as copies), so in a sanitizer build it is loaded through
// the C library's own dlopen: the program stays checked, SQLCipher's inside
// runs as in a normal build.
#if defined(__SANITIZE_ADDRESS__)
void* openDeepBound(const char* file, int flags) {
    void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    auto* libcDlopen = libc ? reinterpret_cast<decltype(&dlopen)>(dlsym(libc, "dlopen")) : nullptr;
    return (libcDlopen ? libcDlopen : &dlopen)(file, flags);
}
#else
void* openDeepBound(const char* file, int flags) {
    return dlopen(file, flags);
}
#endif

SqliteApi loadSqlCipher() {
    void* handle = openDeepBound("libsqlcipher.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (!handle) {
        const char* why = dlerror();
        throw DataError(std::string("Password-protected databases need the SQLCipher library "
                                    "(libsqlcipher0), which could not be loaded: ") +
                            (why ? why : "unknown reason"),
                        ErrorKind::Connection);
    }
    SqliteApi api{};
#define VDATA_LOOKUP(name) bind(handle, "sqlite3_" #name, api.name);
    VDATA_SQLITE_FUNCTIONS(VDATA_LOOKUP)
#undef VDATA_LOOKUP
    bind(handle, "sqlite3_key", api.key);
    api.error_offset = reinterpret_cast<int (*)(sqlite3*)>(dlsym(handle, "sqlite3_error_offset"));
    return api;
}

} // namespace

const SqliteApi& systemSqlite() {
    static const SqliteApi api = makeSystemApi();
    return api;
}

const SqliteApi& sqlCipher() {
    // A load that throws leaves the static unset, so the next call tries again.
    static const SqliteApi api = loadSqlCipher();
    return api;
}

} // namespace vdata
