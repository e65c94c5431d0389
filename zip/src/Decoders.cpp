#include "Decoders.h"

#include "Extraction.h"
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

} // namespace zip
