#pragma once

#include "data/service/Errors.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>

// Real SQLite files for tests.
namespace testdb {

// Creates (or extends) the SQLite file at path by running script.
void run(const QString& path, const std::string& script);
// Creates an SQLCipher-encrypted file at path with the key, running script.
void runEncrypted(const QString& path, const std::string& password, const std::string& script);

// The file provider's connection string for path (and password).
std::string jetString(const QString& path, const std::string& password = {});

// The message of the vdata::DataError that f raises; empty when it raises none.
std::string errorOf(const std::function<void()>& f);
// The vdata::DataError that f raises, or none.
std::optional<vdata::DataError> failureOf(const std::function<void()>& f);

} // namespace testdb
