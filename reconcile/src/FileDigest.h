#pragma once
// What a file holds, for the move journal: a file moved back must be the
// file that was moved out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reconcile {

struct FileDigest {
    uint64_t size = 0;
    std::string sha256;
};

/// The size and SHA-256 of a file (program path); nothing when it cannot be
/// read to its end.
std::optional<FileDigest> DigestOfFile(std::string_view path);

} // namespace reconcile
