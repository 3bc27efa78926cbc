#include "data/service/SourceEnumerator.h"

#include "data/service/Errors.h"

#include <utility>

namespace vdata {

namespace {

SourceLister& installedLister() {
    static SourceLister lister;
    return lister;
}

} // namespace

void setSourceLister(SourceLister lister) {
    installedLister() = std::move(lister);
}

std::vector<SourceRow> enumerateSources(const std::string& progId, const SourceOptions& options) {
    const SourceLister& lister = installedLister();
    if (!lister)
        throw DataError("The enumerator \"" + progId + "\" is not registered");
    return lister(progId, options);
}

} // namespace vdata
