#pragma once
// A file with one fixed buffer, used either to read ahead or to collect
// writes. Moving to another position empties the buffer, writing out what
// is pending first.

#include "platform/File.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace zip {

class TFileBufferStream {
public:
    static constexpr size_t kBufferSize = 8192;

    /// Null when the file cannot be opened; the reason is in
    /// platform::lastErrorText().
    static std::unique_ptr<TFileBufferStream> open(std::string_view path, platform::File::Mode mode,
                                                   bool flushOnClose = false);
    ~TFileBufferStream();
    TFileBufferStream(const TFileBufferStream &) = delete;
    TFileBufferStream &operator=(const TFileBufferStream &) = delete;

    /// Reads up to size bytes; fewer at the end of the file.
    size_t read(void *buffer, size_t size);
    /// Takes all bytes or, when the file refuses them, none; false then.
    bool write(const void *buffer, size_t size);
    bool seek(uint64_t position);
    uint64_t position() const { return m_position; }
    uint64_t size();
    /// The file's size and time, with what is still buffered written first.
    std::optional<platform::FileStamp> stamp();
    bool resize(uint64_t size);
    /// Writes out what is pending and closes; false when that write fails.
    bool close();

private:
    TFileBufferStream(platform::File file, bool flushOnClose);
    bool writePending();

    platform::File m_file;
    bool m_flushOnClose;
    bool m_wroteAnything = false;
    std::vector<uint8_t> m_buffer;
    uint64_t m_position = 0;     ///< the stream's position
    uint64_t m_filePosition = 0; ///< where the file itself stands
    uint64_t m_bufferStart = 0;  ///< file offset of m_buffer[0]
    size_t m_readLength = 0;     ///< bytes read ahead into the buffer
    size_t m_writeLength = 0;    ///< bytes waiting to be written
};

} // namespace zip
