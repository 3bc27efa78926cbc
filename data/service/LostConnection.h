#pragma once

#include <string>

namespace vdata {

// What a server session says when it lost its connection and connected
// again before running a statement.

// Said first when the statement was a write that may have reached the
// server before the loss (empty for a statement that may run again).
std::string writeFateText(bool mayRepeat);
// Said when connecting again failed, before the reason.
extern const char* const serverGoneText;
// Said when a transaction of the user's was open on the lost connection.
extern const char* const transactionRolledBackText;

// After connecting again: raises unless the statement that found the loss
// may run again, that is, when it was a write, and once when a transaction
// was open (with `transactionText`).
void raiseUnlessRepeatable(bool mayRepeat, bool transactionWasOpen, const char* transactionText);

} // namespace vdata
