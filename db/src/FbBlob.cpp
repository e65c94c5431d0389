#include "FbBlob.h"

#include "ConnectionChecks.h"
#include "FbClient.h"
#include "Internals.h"
#include "db/FbDatabase.h"
#include "db/FbErrors.h"
#include "platform/ScopeExit.h"

#include <cstring>

namespace db {

std::string ReadBlob(TFbDatabase &database, TFbTransaction &transaction, const void *blobId,
                     const TComponent *sender)
{
    RequireConnected(sender, &database);
    RequireActive(sender, &transaction);
    const IFbClientLibrary &library = *detail::Internals::clientLibrary(database);
    ISC_QUAD id;
    std::memcpy(&id, blobId, sizeof id);
    isc_blob_handle blob = 0;
    if (library.isc_open_blob2(StatusVector(), detail::Internals::handlePointer(database),
                               detail::Internals::handlePointer(transaction), &blob, &id, 0,
                               nullptr) != 0)
        RaiseServerError(library, sender);
    // Closes the BLOB on every way out; a failed close cannot be helped.
    const platform::ScopeExit closer([&library, &blob] {
        ISC_STATUS_ARRAY ignored;
        library.isc_close_blob(ignored, &blob);
    });
    std::string content;
    char segment[32768];
    for (;;) {
        unsigned short length = 0;
        const ISC_STATUS status = library.isc_get_segment(
            StatusVector(), &blob, &length, static_cast<unsigned short>(sizeof segment), segment);
        if (status == isc_segstr_eof)
            break;
        // isc_segment: a part of a segment longer than the buffer.
        if (status != 0 && status != isc_segment)
            RaiseServerError(library, sender);
        content.append(segment, length);
    }
    return content;
}

} // namespace db
