#include "PostgresResult.h"

#include "Errors.h"

#include <algorithm>
#include <cctype>

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

} // namespace

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
        throw DataError(resultErrorText(result.get(), conn));
    }
    return result;
}

void drainResults(PGconn* conn) {
    while (PGresult* r = PQgetResult(conn)) {
        PQclear(r);
    }
}

} // namespace vdata
