#include "data/service/Progress.h"

#include "data/service/Errors.h"

#include <utility>

namespace vdata {
namespace {

Progress& installed() {
    thread_local Progress progress;
    return progress;
}

} // namespace

ProgressScope::ProgressScope(Progress progress)
    : previous_(std::exchange(installed(), std::move(progress))) {}

ProgressScope::~ProgressScope() {
    installed() = std::move(previous_);
}

bool progressContinues(std::size_t done) {
    const Progress& progress = installed();
    return !progress || progress(done);
}

void checkProgress(std::size_t done) {
    if (!progressContinues(done)) {
        throwCancelled();
    }
}

void throwCancelled() {
    throw DataError("The operation was cancelled.", ErrorKind::Cancelled);
}

} // namespace vdata
