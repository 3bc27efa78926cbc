#pragma once

#include <string>

namespace vdata {

// The database password an Access file's header holds (UTF-8), empty when
// the file has none or its header cannot be read. The header is masked with
// RC4 under a fixed key; Access 97 files keep up to 20 single-byte
// characters, later ones up to 20 UTF-16 characters, further masked with the
// whole days of the creation date the header holds.
std::string accessPassword(const std::string& path);

} // namespace vdata
