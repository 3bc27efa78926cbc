#pragma once

#include <cstddef>
#include <functional>

namespace vdata {

// Told how many rows long work (reading a result, sorting, searching) has
// done so far; returns false to cancel the work.
using Progress = std::function<bool(std::size_t done)>;

// Makes `progress` the calling thread's progress callback for as long as it
// lives; the callback installed before comes back afterwards.
class ProgressScope {
public:
    explicit ProgressScope(Progress progress);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    Progress previous_;
};

// Long work reports once every this many rows, which keeps the cost per row
// to one comparison.
inline constexpr std::size_t progressStep = 4096;

// Tells the installed callback; false when the work is to stop. Without a
// callback the work always goes on.
bool progressContinues(std::size_t done);

// Raises DataError (ErrorKind::Cancelled) when the work is to stop.
void checkProgress(std::size_t done);
[[noreturn]] void throwCancelled();

} // namespace vdata
