#pragma once
// CRC-32 and SHA-256 of test outputs, to compare them with the manifests of
// the archive corpus. Suites that include this link zlib.

#include "platform/Sha256.h"

#include <zlib.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace testing_support {

inline std::span<const std::uint8_t> bytesOfText(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t *>(text.data()), text.size()};
}

inline std::uint32_t crc32Of(std::span<const std::uint8_t> bytes)
{
    return std::uint32_t(::crc32(0, bytes.data(), uInt(bytes.size())));
}
inline std::uint32_t crc32Of(std::string_view bytes)
{
    return crc32Of(bytesOfText(bytes));
}

/// SHA-256 in lower-case hexadecimal.
inline std::string sha256Hex(std::span<const std::uint8_t> bytes)
{
    platform::Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.HexDigest();
}
inline std::string sha256Hex(std::string_view bytes)
{
    return sha256Hex(bytesOfText(bytes));
}

} // namespace testing_support
