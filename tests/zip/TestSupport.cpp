#include "TestSupport.h"

#include "platform/FileSystem.h"
#include "zip/ZipErrors.h"
#include "zip/ZipLists.h"

#include <zlib.h>

#include <stdexcept>

namespace ziptest {

std::string bookText(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i)
        text +=
            "<p>Line " + std::to_string(i) + " of a book that is long enough to compress.</p>\n";
    return text;
}

std::string deflateRaw(std::string_view bytes)
{
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, uLong(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}

TestEntry TestEntry::stored(std::string name, std::string content)
{
    TestEntry entry;
    entry.name = std::move(name);
    entry.crc = crc32Of(content);
    entry.compressedSize = entry.uncompressedSize = uint32_t(content.size());
    entry.payload = std::move(content);
    return entry;
}

TestEntry TestEntry::deflated(std::string name, std::string content)
{
    TestEntry entry;
    entry.name = std::move(name);
    entry.method = 8;
    entry.crc = crc32Of(content);
    entry.uncompressedSize = uint32_t(content.size());
    entry.payload = deflateRaw(content);
    entry.compressedSize = uint32_t(entry.payload.size());
    return entry;
}

namespace {

void put16(std::string &out, uint32_t value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void put32(std::string &out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

BuiltArchive buildZip(const std::vector<TestEntry> &entries, std::vector<size_t> centralOrder)
{
    BuiltArchive archive;
    std::string &out = archive.bytes;
    for (const TestEntry &e : entries) {
        archive.localOffsets.push_back(out.size());
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, e.flags);
        put16(out, e.method);
        put32(out, e.dosDateTime);
        put32(out, e.crc);
        put32(out, e.compressedSize);
        put32(out, e.uncompressedSize);
        put16(out, uint32_t(e.name.size()));
        put16(out, 0);
        out += e.name;
        out += e.payload;
    }
    if (centralOrder.empty())
        for (size_t i = 0; i < entries.size(); ++i)
            centralOrder.push_back(i);
    archive.centralOffset = out.size();
    for (size_t i : centralOrder) {
        const TestEntry &e = entries[i];
        put32(out, 0x02014B50);
        put16(out, e.versionMadeBy);
        put16(out, 20);
        put16(out, e.flags);
        put16(out, e.method);
        put32(out, e.dosDateTime);
        put32(out, e.crc);
        put32(out, e.compressedSize);
        put32(out, e.uncompressedSize);
        put16(out, uint32_t(e.name.size()));
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, e.externalAttributes);
        put32(out, uint32_t(archive.localOffsets[i]));
        out += e.name;
    }
    uint64_t centralSize = out.size() - archive.centralOffset;
    archive.endRecordOffset = out.size();
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, uint32_t(centralOrder.size()));
    put16(out, uint32_t(centralOrder.size()));
    put32(out, uint32_t(centralSize));
    put32(out, uint32_t(archive.centralOffset));
    put16(out, 0);
    return archive;
}

std::string thrownBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const zip::EBadZipFile &e) {
        return std::string("EBadZipFile: ") + e.what();
    } catch (const zip::ENotAZipFile &e) {
        return std::string("ENotAZipFile: ") + e.what();
    } catch (const zip::EIncompleteZip &e) {
        return std::string("EIncompleteZip: ") + e.what();
    } catch (const zip::EFatalUnzipError &e) {
        return std::string("EFatalUnzipError: ") + e.what();
    } catch (const zip::EBiggerThanUncompressed &e) {
        return std::string("EBiggerThanUncompressed: ") + e.what();
    } catch (const zip::ECantWriteUCF &e) {
        return std::string("ECantWriteUCF: ") + e.what();
    } catch (const zip::EZCompressionError &e) {
        return std::string("EZCompressionError: ") + e.what();
    } catch (const zip::EFOpenError &e) {
        return std::string("EFOpenError: ") + e.what();
    } catch (const zip::EListError &e) {
        return std::string("EListError: ") + e.what();
    } catch (const std::exception &e) {
        return std::string("other: ") + e.what();
    }
    return "no exception";
}

} // namespace ziptest
