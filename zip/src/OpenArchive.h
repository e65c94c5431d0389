#pragma once
// The archive file a TZipReader reads and, for an archive split into parts,
// which part is open. The directory reader and an extraction run both read
// through it, so that running off the end of one part into the next is
// handled in one place. Whether the archive has parts comes from the
// directory, which the reader keeps: the owner passes what it needs.

#include "platform/File.h"
#include "zip/ZipReader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zip {

class TFileBufferStream;

class OpenArchive {
public:
    /// The hook that may rename a part (TZipReaderEvents::OnFileNameForSplitPart).
    using PartRename =
        std::function<void(std::string &fileName, int partNumber, int multiPartMode)>;

    /// endRecord and rebuiltFromLocal belong to the reader's directory;
    /// they tell whether the archive has parts and which part is the last.
    OpenArchive(const TEndOfCentral &endRecord, const bool &rebuiltFromLocal,
                const PartRename &rename);
    ~OpenArchive();
    OpenArchive(const OpenArchive &) = delete;
    OpenArchive &operator=(const OpenArchive &) = delete;

    /// The archive's name; after a part was opened, that part's name.
    const std::string &name() const { return m_name; }
    /// Closes the file and forgets what was known of the previous archive.
    void setName(std::string_view name);
    /// Closes the file and forgets the name.
    void clear();

    bool isOpen() const { return m_stream != nullptr; }
    /// Opens the named file when it is not open. Throws EFOpenError.
    void open();
    void close();
    TFileBufferStream &stream() { return *m_stream; }

    /// Remembers the open file's time and size, as of a directory read.
    void noteFileState();
    /// True when the open file's time and size are those last noted. The
    /// file is opened by name before it is asked, so a file put in its place
    /// is noticed as well as one rewritten; the size joins the time so that
    /// an archive rewritten within the time's resolution is still noticed.
    bool unchangedSinceNoted();
    void forgetFileState();

    bool isMultiPart() const;
    uint32_t currentPart() const { return m_currentPart; }
    void setCurrentPart(uint32_t part) { m_currentPart = part; }
    int multiPartMode() const { return m_multiPartMode; }
    void setMultiPartMode(int mode) { m_multiPartMode = mode; }
    TBlockMode blockMode() const { return m_blockMode; }
    void setBlockMode(TBlockMode mode) { m_blockMode = mode; }

    /// Opens part partNumber (1-based) in place of the open file. Throws
    /// EFOpenError.
    void openPart(int partNumber);
    /// Opens the part that follows the open one. Throws EFOpenError.
    void openNextPart() { openPart(int(m_currentPart) + 2); }
    /// Reads up to count bytes, going on into the following parts of an
    /// archive that has them; fewer only when the archive ends. Throws
    /// EFOpenError when a following part cannot be opened.
    size_t readAcrossParts(uint8_t *buffer, size_t count);

private:
    std::string partFileName(int partNumber) const;

    const TEndOfCentral &m_endRecord;
    const bool &m_rebuiltFromLocal;
    const PartRename &m_rename;

    std::string m_name;
    std::string m_baseName;
    std::unique_ptr<TFileBufferStream> m_stream;
    std::optional<platform::FileStamp> m_noted;
    int m_multiPartMode = 0;
    uint32_t m_currentPart = 0;
    TBlockMode m_blockMode = TBlockMode::bmStandard;
};

} // namespace zip
