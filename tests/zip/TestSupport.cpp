#include "TestSupport.h"

#include "platform/FileSystem.h"
#include "zip/ZipErrors.h"
#include "zip/ZipLists.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace ziptest {

namespace fs = std::filesystem;

void writeFile(const fs::path &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::string bytes(size_t(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), std::streamsize(bytes.size()));
    return bytes;
}

uint32_t crc32Of(std::string_view bytes)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()), uInt(bytes.size())));
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

// SHA-256 as FIPS 180-4 defines it.
std::string sha256Hex(std::string_view bytes)
{
    static constexpr std::array<uint32_t, 64> k = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    std::array<uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string message(bytes);
    uint64_t bitLength = uint64_t(bytes.size()) * 8;
    message += char(0x80);
    while (message.size() % 64 != 56)
        message += '\0';
    for (int shift = 56; shift >= 0; shift -= 8)
        message += char(bitLength >> shift);
    auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
    for (size_t block = 0; block < message.size(); block += 64) {
        std::array<uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i)
            for (int j = 0; j < 4; ++j)
                w[i] = (w[i] << 8) | uint8_t(message[block + size_t(i) * 4 + size_t(j)]);
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::array<uint32_t, 8> v = h;
        for (int i = 0; i < 64; ++i) {
            uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
            uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
            uint32_t t1 = v[7] + s1 + choice + k[size_t(i)] + w[size_t(i)];
            uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
            uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            uint32_t t2 = s0 + majority;
            v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
        }
        for (size_t i = 0; i < 8; ++i)
            h[i] += v[i];
    }
    std::string hex;
    char digits[9];
    for (uint32_t word : h) {
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
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
