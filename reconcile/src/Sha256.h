#pragma once
// SHA-256 of a file's bytes, for the move journal: a file moved back must be
// the file that was moved out.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reconcile {

class Sha256 {
public:
    Sha256();
    void Update(const void *data, size_t size);
    /// The digest in lower-case hex; the object is spent afterwards.
    std::string HexDigest();

private:
    void block(const uint8_t *data);

    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_buffered = 0;
    uint64_t m_length = 0;
};

struct FileDigest {
    uint64_t size = 0;
    std::string sha256;
};

/// The size and digest of a file (program path); nothing when it cannot be
/// read to its end.
std::optional<FileDigest> DigestOfFile(std::string_view path);

} // namespace reconcile
