#pragma once

#include <string>
#include <vector>

namespace vdata {

// One row of an enumerator's sources row set.
struct SourceRow {
    std::string name;        // SOURCES_NAME
    int type = 1;            // SOURCES_TYPE: 1 = data source
    std::string description; // SOURCES_DESCRIPTION
};

// The sources that the enumerator registered under progId reports.
// "SQLOLEDB Enumerator" lists the PostgreSQL servers found on this host.
// An unknown progId raises DataError.
std::vector<SourceRow> enumerateSources(const std::string& progId);

} // namespace vdata
