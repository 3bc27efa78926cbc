#include "data/service/LostConnection.h"

#include "data/service/Errors.h"

namespace vdata {

const char* const serverGoneText =
    "The server is gone: the connection to it was lost and connecting again failed.\n";
const char* const transactionRolledBackText =
    "The connection to the server was lost while a transaction was open: the server rolled back "
    "the transaction, and its changes are gone. The connection has been made again.";

std::string writeFateText(bool mayRepeat) {
    return mayRepeat ? std::string()
                     : "The connection to the server was lost while a change was being written, "
                       "so it is not known whether the change was saved. Check the data before "
                       "saving it again.\n";
}

void raiseUnlessRepeatable(bool mayRepeat, bool transactionWasOpen, const char* transactionText) {
    if (!mayRepeat) {
        throw DataError(writeFateText(false) + "The connection has been made again.",
                        ErrorKind::Connection);
    }
    if (transactionWasOpen) {
        throw DataError(transactionText, ErrorKind::Connection);
    }
}

} // namespace vdata
