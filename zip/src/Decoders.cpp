#include "Decoders.h"

#include "Extraction.h"
#include "LegacyDecoders.h"
#include "zip/ZipErrors.h"

#include <zlib.h>

namespace zip {

namespace {

// Every zlib status passes through here.
int checkZlib(int status)
{
    if (status < 0)
        throw EZCompressionError();
    return status;
}

class InflateStream {
public:
    InflateStream()
    {
        // Negative window bits: raw Deflate data without a zlib header.
        checkZlib(inflateInit2(&m_stream, -MAX_WBITS));
    }
    ~InflateStream()
    {
        if (!m_ended)
            inflateEnd(&m_stream);
    }
    InflateStream(const InflateStream &) = delete;
    InflateStream &operator=(const InflateStream &) = delete;

    z_stream &operator*() { return m_stream; }
    void end()
    {
        m_ended = true;
        checkZlib(inflateEnd(&m_stream));
    }

private:
    z_stream m_stream{};
    bool m_ended = false;
};

// The entry's compressed data, block by block, for the legacy decoders.
class EntryInput : public legacy::ByteInput {
public:
    explicit EntryInput(Extraction &entry) : m_entry(entry) {}

private:
    bool refill() override
    {
        if (m_entry.compressedLeft() == 0)
            return false;
        size_t count = m_entry.readCompressed(m_entry.inputBuffer());
        setBlock({m_entry.inputBuffer(), count});
        return true;
    }

    Extraction &m_entry;
};

// The decoders fill the run's output buffer; each full buffer goes through
// the entry's flush with its size check and CRC.
class EntryOutput : public legacy::ByteOutput {
public:
    explicit EntryOutput(Extraction &entry)
        : ByteOutput({entry.outputBuffer(), Extraction::kBlockSize}), m_entry(entry)
    {
    }

private:
    void flush(std::span<const std::uint8_t> block) override { m_entry.flushOutput(block.size()); }

    Extraction &m_entry;
};

} // namespace

void copyStored(Extraction &entry)
{
    while (entry.compressedLeft() > 0)
        entry.flushOutput(entry.readCompressed(entry.outputBuffer()));
}

void inflateEntry(Extraction &entry)
{
    size_t firstBlock = entry.readCompressed(entry.inputBuffer());
    InflateStream inflater;
    z_stream &stream = *inflater;
    stream.next_in = entry.inputBuffer();
    stream.avail_in = uInt(firstBlock);
    stream.next_out = entry.outputBuffer();
    stream.avail_out = uInt(Extraction::kBlockSize);
    int status = Z_OK;
    do {
        if (stream.avail_in == 0 && entry.compressedLeft() > 0) {
            stream.avail_in = uInt(entry.readCompressed(entry.inputBuffer()));
            stream.next_in = entry.inputBuffer();
        }
        // With no input left and the stream unfinished, zlib reports a
        // buffer error: the data ended early.
        status = checkZlib(inflate(&stream, Z_NO_FLUSH));
        if (stream.avail_out == 0 || status == Z_STREAM_END) {
            entry.flushOutput(Extraction::kBlockSize - stream.avail_out);
            stream.next_out = entry.outputBuffer();
            stream.avail_out = uInt(Extraction::kBlockSize);
        }
    } while (status != Z_STREAM_END);
    inflater.end();
}

void decodeLegacy(Extraction &entry, int method, uint16_t flags, uint64_t compressedSize,
                  uint64_t uncompressedSize)
{
    EntryInput input(entry);
    EntryOutput output(entry);
    legacy::decodeMethod(method, flags, compressedSize, uncompressedSize, input, output,
                         entry.workArea(), [&](const legacy::UserMessage &message) {
                             entry.reportMessage(message.id, std::string(message.text),
                                                 std::string(message.caption), message.flags);
                         });
}

} // namespace zip
