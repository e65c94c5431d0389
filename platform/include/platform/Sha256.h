#pragma once
// SHA-256 (FIPS 180-4), fed in pieces: the move journal's proof that a file
// moved back is the file that was moved out, and the tests' digests.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

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

} // namespace platform
