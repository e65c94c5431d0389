#include "FileDigest.h"

#include "platform/File.h"
#include "platform/Sha256.h"

#include <vector>

namespace reconcile {

std::optional<FileDigest> DigestOfFile(std::string_view path)
{
    std::optional<platform::File> file = platform::File::open(path, platform::File::Mode::Read);
    if (!file)
        return std::nullopt;
    platform::Sha256 sha;
    FileDigest digest;
    std::vector<char> buffer(size_t(1) << 16);
    for (size_t got; (got = file->read(buffer.data(), buffer.size())) > 0;) {
        sha.Update(buffer.data(), got);
        digest.size += got;
    }
    // A short read ends the loop on an error as at the end: the sizes tell.
    if (file->size() != digest.size)
        return std::nullopt;
    digest.sha256 = sha.HexDigest();
    return digest;
}

} // namespace reconcile
