#pragma once
// A file's bytes, for comparing what the code under test wrote, and for
// writing a file a test has crafted byte by byte.

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testing_support {

/// Throws when the file cannot be opened, so a missing output fails loudly.
inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

/// Throws when the file cannot be written.
inline void writeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace testing_support
