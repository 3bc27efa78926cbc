#pragma once

#include "data/service/Engine.h"
#include "data/service/Errors.h"
#include "data/service/ForeignKey.h"
#include "data/service/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace vdata {

// What an engine needs to say which tables still refer to a row whose
// delete or key change a foreign key refused.

// Whether `edit` takes away the values `key` refers to: a delete (nothing
// changed), or an update of one of the referenced columns.
bool takesReferencedValues(const RowEdit& edit, const ForeignKey& key);

// The row's values of the columns `key` references, as read; none when the
// result does not hold them all.
std::optional<std::vector<Value>> referencedValues(const RowEdit& edit, const ForeignKey& key);

// The engine's refusal followed by "The row is still referred to by Orders
// (CustomerID)." for the keys given (each as its table and columns); the
// refusal itself when none are given.
DataError withReferrers(const DataError& refused, const std::vector<ForeignKey>& referrers);

} // namespace vdata
