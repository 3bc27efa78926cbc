#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vdata {

// One row of an enumerator's sources row set.
struct SourceRow {
    std::string name;        // SOURCES_NAME
    int type = 1;            // SOURCES_TYPE: 1 = data source
    std::string description; // SOURCES_DESCRIPTION
};

// Where the network enumerators look, and for how long.
struct SourceOptions {
    std::uint16_t browserPort = 1434; // the SQL Server Browser's UDP port
    std::chrono::milliseconds browserWait{1000};
    std::string browserHost{}; // asks only this host's SQL Server Browser
};

// How enumerators are found: the program installs its providers' list
// (the service itself knows no server kind).
using SourceLister =
    std::function<std::vector<SourceRow>(const std::string& progId, const SourceOptions&)>;
void setSourceLister(SourceLister lister);

// The sources that the enumerator registered under progId reports (the
// providers name them; see ServerEnumerator.h there). An unknown progId, or
// no installed providers, raises DataError.
std::vector<SourceRow> enumerateSources(const std::string& progId,
                                        const SourceOptions& options = {});

} // namespace vdata
