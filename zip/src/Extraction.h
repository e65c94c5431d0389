#pragma once
// One extraction run of a TZipReader: takes the chosen entries and writes
// each into the destination folder, checking its CRC-32. The run sees the
// reader only through what it is handed: the open archive, the entries in
// the reader's order, the options and the hooks. Decoders see only
// the two sides of the entry being extracted: compressed bytes in, decoded
// bytes out.

#include "zip/ZipReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zip {

/// Size of a local header's fixed fields, up to the name.
constexpr size_t kLocalHeaderSize = 30;

class OpenArchive;
class TFileBufferStream;
namespace legacy {
struct WorkArea;
}

class Extraction {
public:
    static constexpr size_t kBlockSize = 32768;

    /// selectedOnly: take the entries marked through EntrySelected (and
    /// clear their marks); otherwise those of DoAll or FilesList. The
    /// options are read as the run goes, so hooks that change them are seen.
    Extraction(OpenArchive &archive, TSortedEntries &entries, const ExtractionOptions &options,
               const TZipReaderEvents &events, bool selectedOnly);
    ~Extraction();
    Extraction(const Extraction &) = delete;
    Extraction &operator=(const Extraction &) = delete;

    /// Extracts the entries the run takes. Throws EFatalUnzipError,
    /// EZCompressionError, ECantWriteUCF, EFOpenError.
    void run();
    /// The entries extracted so far, also after run threw.
    int extracted() const { return m_extracted; }

    // --- The entry being decoded --------------------------------------

    uint8_t *inputBuffer() { return m_input.data(); }
    uint8_t *outputBuffer() { return m_output.data(); }
    uint64_t compressedLeft() const { return m_compressedLeft; }
    /// Reads the next block of the entry's compressed data (at most
    /// kBlockSize bytes, fewer only at its end) into buffer and returns its
    /// length. Throws EFatalUnzipError when the archive ends first.
    size_t readCompressed(uint8_t *buffer);
    /// Writes count bytes from the output buffer. Throws
    /// EBiggerThanUncompressed beyond the entry's size, ECantWriteUCF when
    /// the file refuses them.
    void flushOutput(size_t count);
    /// The legacy decoders' scratch memory, made once per run.
    legacy::WorkArea &workArea();
    /// A message for the user: through OnHandleMessage, else a message box.
    void reportMessage(int id, const std::string &text, const std::string &caption, unsigned flags);

private:
    void takeEntries();
    bool takes(TZipEntryInfo &entry) const;
    void pumpMessages() const;
    void extractEntry(int index);
    uint64_t locateData(const TZipEntryInfo &entry);
    std::string destinationFolder(const TZipEntryInfo &entry) const;
    void extractFolder(const TZipEntryInfo &entry, const std::string &folder);
    bool mayReplace(int index, std::string &path);
    bool createOutput(const std::string &path, const TZipEntryInfo &entry);
    bool decode(const TZipEntryInfo &entry);
    /// False when the last bytes could not be written.
    bool closeOutput();
    void skipped(TSkipReason reason, const std::string &path, int index);
    void setTimeAndAttributes(const std::string &path, const TZipEntryInfo &entry) const;

    OpenArchive &m_archive;
    TSortedEntries &m_entries;
    const ExtractionOptions &m_options;
    const TZipReaderEvents &m_events;
    TZipEntryInfo m_currentEntry;
    bool m_selectedOnly;
    std::vector<uint8_t> m_input;
    std::vector<uint8_t> m_output;
    int m_extracted = 0;
    uint64_t m_totalBytes = 0;
    uint64_t m_totalWritten = 0;

    uint64_t m_compressedLeft = 0;
    uint64_t m_expectedSize = 0;
    uint64_t m_written = 0;
    uint64_t m_presized = 0; ///< the size the output was given up front
    uint32_t m_crc = 0;
    std::unique_ptr<TFileBufferStream> m_outFile;
    std::unique_ptr<legacy::WorkArea> m_workArea;
};

} // namespace zip
