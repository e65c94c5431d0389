#pragma once
// Reading a whole BLOB by its identifier.

#include <string>

namespace db {

class TComponent;
class TFbDatabase;
class TFbTransaction;

/// The BLOB's content read in the transaction. `blobId` points to the
/// server's 8-byte identifier. Throws EFbServerError with `sender` named,
/// EFbClientError 12 or 15 when the connection or the transaction is not
/// usable.
std::string ReadBlob(TFbDatabase &database, TFbTransaction &transaction, const void *blobId,
                     const TComponent *sender);

} // namespace db
