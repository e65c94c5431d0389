#pragma once

#include <array>

namespace platform::codepages {

/// Code points of bytes 0x80..0xFF; 0 where the code page assigns none.
extern const std::array<char16_t, 128> kCp1251;
extern const std::array<char16_t, 128> kCp866;
extern const std::array<char16_t, 128> kKoi8r;

/// Byte-to-byte letter case maps of code page 1251.
extern const std::array<unsigned char, 256> kUpper1251;
extern const std::array<unsigned char, 256> kLower1251;

} // namespace platform::codepages
