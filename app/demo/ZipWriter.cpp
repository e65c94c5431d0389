// Format notes. Each entry is a local header (signature 0x04034b50, version
// needed, flags, method, DOS time and date, CRC-32, compressed and
// uncompressed sizes, name length, extra length, then the name) followed by
// the raw deflate stream. After the last entry comes the central directory,
// one header per entry (signature 0x02014b50; the local header's fields plus
// version made by, comment length, disk number, internal and external
// attributes and the local header's offset), then the end record (signature
// 0x06054b50, disk numbers, entry counts, directory size and offset, comment
// length). All numbers are little-endian. Sizes stay below 4 GiB here, so no
// ZIP64 records are needed.

#include "ZipWriter.h"

#include <zlib.h>

#include <limits>
#include <stdexcept>
#include <vector>

namespace demo {
namespace {

constexpr std::uint16_t kVersion = 20; // deflate needs 2.0
constexpr std::uint16_t kDeflated = 8;
// 1 March 2024, 12:00:00: the demo must not depend on the day it is made.
constexpr std::uint16_t kDosTime = 12 << 11;
constexpr std::uint16_t kDosDate = ((2024 - 1980) << 9) | (3 << 5) | 1;
constexpr std::uint32_t kArchiveAttribute = 0x20;

void put16(std::string &out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>(value >> 8);
}

void put32(std::string &out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xffff));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t checkedSize(std::size_t size)
{
    if (size >= std::numeric_limits<std::uint32_t>::max())
        throw std::runtime_error("a demo archive must stay below 4 GiB");
    return static_cast<std::uint32_t>(size);
}

std::string deflateRaw(std::string_view data)
{
    z_stream stream{};
    // Negative window bits: a raw stream without zlib's own header, as ZIP wants it.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw std::runtime_error("zlib: cannot start compressing");
    std::vector<Bytef> output(deflateBound(&stream, checkedSize(data.size())));
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = checkedSize(data.size());
    stream.next_out = output.data();
    stream.avail_out = checkedSize(output.size());
    const int result = deflate(&stream, Z_FINISH);
    const std::size_t written = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("zlib: cannot compress an entry");
    return std::string(reinterpret_cast<const char *>(output.data()), written);
}

} // namespace

void ZipWriter::addEntry(std::string_view name, std::string_view data)
{
    if (m_count == std::numeric_limits<std::uint16_t>::max() ||
        name.size() > std::numeric_limits<std::uint16_t>::max())
        throw std::runtime_error("too many entries, or too long a name, for a demo archive");
    const std::string packed = deflateRaw(data);
    const std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef *>(data.data()), checkedSize(data.size())));
    const std::uint32_t offset = checkedSize(m_entries.size());

    // The fields from "version needed" to "extra length", shared by both headers.
    std::string common;
    put16(common, kVersion);
    put16(common, 0); // flags
    put16(common, kDeflated);
    put16(common, kDosTime);
    put16(common, kDosDate);
    put32(common, crc);
    put32(common, checkedSize(packed.size()));
    put32(common, checkedSize(data.size()));
    put16(common, static_cast<std::uint16_t>(name.size()));
    put16(common, 0); // extra length

    put32(m_entries, 0x04034b50);
    m_entries += common;
    m_entries += name;
    m_entries += packed;

    put32(m_directory, 0x02014b50);
    put16(m_directory, kVersion); // made by: MS-DOS host, version 2.0
    m_directory += common;
    put16(m_directory, 0); // comment length
    put16(m_directory, 0); // disk number
    put16(m_directory, 0); // internal attributes
    put32(m_directory, kArchiveAttribute);
    put32(m_directory, offset);
    m_directory += name;
    ++m_count;
    checkedSize(m_entries.size() + m_directory.size());
}

std::string ZipWriter::finish() const
{
    std::string archive = m_entries + m_directory;
    put32(archive, 0x06054b50);
    put16(archive, 0); // this disk
    put16(archive, 0); // disk of the directory
    put16(archive, m_count);
    put16(archive, m_count);
    put32(archive, checkedSize(m_directory.size()));
    put32(archive, checkedSize(m_entries.size()));
    put16(archive, 0); // comment length
    return archive;
}

} // namespace demo
