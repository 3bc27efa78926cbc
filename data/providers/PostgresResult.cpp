#include "data/providers/PostgresResult.h"

#include "data/service/Errors.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace vdata {

namespace {

std::string tidy(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t' && i > 0 && text[i - 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!out.empty() && blank(static_cast<unsigned char>(out.back()))) {
        out.pop_back();
    }
    const auto first = std::find_if_not(out.begin(), out.end(), blank);
    return std::string(first, out.end());
}

// The kind of a server failure by its SQLSTATE.
ErrorKind kindOf(std::string_view state) {
    if (state.starts_with("08")) { // connection exception
        return ErrorKind::Connection;
    }
    if (state == "57014") { // query_canceled
        return ErrorKind::Cancelled;
    }
    if (state == "25006") { // read_only_sql_transaction
        return ErrorKind::ReadOnly;
    }
    if (state == "40001" || state == "40P01" || state == "55P03") { // serialization, deadlock, lock
        return ErrorKind::Conflict;
    }
    return ErrorKind::Statement;
}

} // namespace

DataError connectionError(const PGconn* conn) {
    return DataError(connectionErrorText(conn), ErrorKind::Connection);
}

DataError resultError(const PGresult* result, const PGconn* conn) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state == nullptr || *state == '\0') {
        const bool lost = conn == nullptr || PQstatus(conn) == CONNECTION_BAD;
        return DataError(resultErrorText(result, conn),
                         lost ? ErrorKind::Connection : ErrorKind::Statement);
    }
    DataError error(resultErrorText(result, conn), kindOf(state), state);
    if (const char* position = PQresultErrorField(result, PG_DIAG_STATEMENT_POSITION)) {
        if (const long at = std::strtol(position, nullptr, 10); at > 0) {
            error.setPlace(SqlErrorPlace{SqlErrorPlace::Unit::Character, std::size_t(at), {}});
        }
    }
    return error;
}

std::string connectionErrorText(const PGconn* conn) {
    if (conn == nullptr) {
        return "Out of memory while connecting to the server";
    }
    std::string text = tidy(PQerrorMessage(conn));
    return text.empty() ? std::string("The connection to the server failed") : text;
}

std::string resultErrorText(const PGresult* result, const PGconn* conn) {
    if (result != nullptr) {
        const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        if (primary != nullptr && *primary != '\0') {
            std::string text = primary;
            if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
                text += "\n";
                text += detail;
            }
            return tidy(text);
        }
        std::string text = tidy(PQresultErrorMessage(result));
        if (!text.empty()) {
            return text;
        }
    }
    return connectionErrorText(conn);
}

bool resultSucceeded(const PGresult* result) {
    if (result == nullptr) {
        return false;
    }
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ||
           status == PGRES_SINGLE_TUPLE || status == PGRES_EMPTY_QUERY;
}

PgResult execChecked(PGconn* conn, const std::string& sql, const std::vector<std::string>& params) {
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const std::string& p : params) {
        values.push_back(p.c_str());
    }
    PgResult result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0));
    if (!resultSucceeded(result.get())) {
        throw resultError(result.get(), conn);
    }
    return result;
}

} // namespace vdata
