#include "Extraction.h"

#include "LegacyDecoders.h"

#include "ByteReader.h"
#include "Decoders.h"
#include "FileBufferStream.h"
#include "OpenArchive.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace zip {

namespace {

constexpr int kStored = 0;
constexpr int kDeflated = 8;
constexpr int kUnknownMethodMessageId = 197;
// The output file is sized up front to save the file system work, but
// never beyond this: entry sizes come from the archive and may lie.
constexpr uint64_t kLargestPresize = 64 * 1024 * 1024;
// Below this a file system gains nothing from knowing the size up front,
// and the two size changes would cost more than they spare.
constexpr uint64_t kSmallestPresize = 1024 * 1024;

int percent(uint64_t done, uint64_t total)
{
    if (total == 0)
        return 0;
    return int(std::min(100.0, std::round(double(done) * 100.0 / double(total))));
}

// Creates a folder with its missing parents; failures show up later when
// a file cannot be created in it.
void createFolderPath(std::string folder)
{
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    if (folder.size() > 2 && !platform::folderExists(folder))
        platform::createFolders(folder);
}

// Names that would leave the destination folder or that no file can have.
bool isUsableFileName(const std::string &name)
{
    return name != "." && name != ".." && name.find('\0') == std::string::npos;
}

// The folder part of an entry name made safe below the destination folder:
// empty, "." and ".." components and drive prefixes are dropped.
std::string safeRelativeFolder(const std::string &directory)
{
    std::string result;
    size_t start = 0;
    while (start < directory.size()) {
        size_t end = directory.find('\\', start);
        if (end == std::string::npos)
            end = directory.size();
        std::string part = directory.substr(start, end - start);
        if (!part.empty() && part != "." && part != ".." && part.find(':') == std::string::npos &&
            part.find('\0') == std::string::npos)
            result += part + '\\';
        start = end + 1;
    }
    return result;
}

bool startsWithInsensitive(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() &&
           platform::sameTextInsensitive(std::string_view(text).substr(0, prefix.size()), prefix);
}

// A file's time as the archive records keep it (the date in the high
// half); 0 when it cannot be read.
uint32_t fileDosDateTime(std::string_view path)
{
    std::optional<platform::DosDateTime> when = platform::fileDosTime(path);
    return when ? (uint32_t(when->date) << 16) | when->time : 0;
}

} // namespace

Extraction::Extraction(OpenArchive &archive, TSortedEntries &entries,
                       const ExtractionOptions &options, const TZipReaderEvents &events,
                       bool selectedOnly)
    : m_archive(archive), m_entries(entries), m_options(options), m_events(events),
      m_selectedOnly(selectedOnly), m_input(kBlockSize), m_output(kBlockSize)
{
}

Extraction::~Extraction() = default;

void Extraction::run()
{
    try {
        takeEntries();
    } catch (...) {
        m_outFile.reset();
        throw;
    }
    m_outFile.reset();
}

void Extraction::pumpMessages() const
{
    if (m_options.doProcessMessages)
        platform::userInterface().processEvents();
}

void Extraction::takeEntries()
{
    if (!m_options.destDir.empty())
        createFolderPath(m_options.destDir);
    int taken = 0;
    for (int i = 0; i < m_entries.Count(); ++i) {
        pumpMessages();
        TZipEntryInfo &entry = m_entries[i];
        entry.ToProcess = takes(entry);
        if (!entry.ToProcess)
            continue;
        if (m_selectedOnly)
            entry.Selected = false;
        m_totalBytes += entry.uncompressedSize();
        ++taken;
    }
    bool stop = false;
    if (m_events.OnStartUnzipInfo)
        m_events.OnStartUnzipInfo(taken, m_totalBytes, stop);
    if (taken == 0 || stop)
        return;
    for (int i = 0; i < m_entries.Count(); ++i)
        if (m_entries[i].ToProcess)
            extractEntry(i);
}

bool Extraction::takes(TZipEntryInfo &entry) const
{
    if (entry.FileName.empty() && !m_options.recreateDirs)
        return false;
    if (m_options.doAll)
        return true;
    if (m_selectedOnly)
        return entry.Selected;
    std::string fullName = entry.Directory + entry.FileName;
    return std::any_of(m_options.filesList.begin(), m_options.filesList.end(),
                       [&](const std::string &pattern) {
                           bool withFolder = pattern.find('\\') != std::string::npos;
                           return platform::matchesWildcards(withFolder ? fullName : entry.FileName,
                                                             pattern, {'*', '?', true});
                       });
}

void Extraction::extractEntry(int index)
{
    m_currentEntry = m_entries[index];
    const TZipEntryInfo &entry = m_currentEntry;
    uint64_t dataOffset = entry.FileName.empty() ? 0 : locateData(entry);
    std::string folder = destinationFolder(entry);
    if (entry.FileName.empty()) {
        extractFolder(entry, folder);
        return;
    }
    std::string path = folder + entry.FileName;
    bool skip = false;
    if (m_events.OnStartUnzip)
        m_events.OnStartUnzip(index, path, skip);
    if (skip)
        return;
    createFolderPath(path.substr(0, path.find_last_of('\\') + 1));
    if (entry.isEncrypted()) {
        // No password is ever given, so such data cannot be decrypted.
        skipped(TSkipReason::srBadPassword, path, index);
        return;
    }
    if (m_options.overwriteMode != TOverwriteMode::Always && platform::fileExists(path) &&
        !mayReplace(index, path)) {
        skipped(TSkipReason::srNoOverwrite, path, index);
        return;
    }
    if (!isUsableFileName(entry.FileName) || !createOutput(path, entry)) {
        skipped(TSkipReason::srCreateError, path, index);
        return;
    }

    m_compressedLeft = entry.compressedSize();
    m_expectedSize = entry.uncompressedSize();
    m_written = 0;
    m_crc = uint32_t(crc32(0, nullptr, 0));
    m_archive.stream().seek(dataOffset);
    bool decoded = false;
    try {
        decoded = decode(entry);
    } catch (...) {
        // The partly written file stays for the caller to look at.
        closeOutput();
        throw;
    }
    if (!closeOutput())
        throw ECantWriteUCF();
    if (decoded)
        setTimeAndAttributes(path, entry);
    if (m_crc == entry.Crc32) {
        if (m_events.OnEndUnzip)
            m_events.OnEndUnzip(index, path);
        ++m_extracted;
        return;
    }
    if (m_events.OnBadCRC)
        m_events.OnBadCRC(m_crc, entry.Crc32, index);
    platform::deleteFile(path);
}

// Only the local header's name and extra field lengths are used: sizes,
// CRC and flags come from the directory, so a damaged local header or one
// whose sizes follow the data does not matter.
uint64_t Extraction::locateData(const TZipEntryInfo &entry)
{
    if (m_archive.isMultiPart() && entry.diskStart() != m_archive.currentPart())
        m_archive.openPart(int(entry.diskStart()) + 1);
    TFileBufferStream &archive = m_archive.stream();
    std::array<uint8_t, kLocalHeaderSize> header{};
    archive.seek(entry.localHeaderOffset());
    archive.read(header.data(), header.size());
    ByteReader lengths(std::span<const uint8_t>(header).subspan(26));
    const uint64_t nameLength = lengths.u16();
    const uint64_t extraLength = lengths.u16();
    return entry.localHeaderOffset() + kLocalHeaderSize + nameLength + extraLength;
}

std::string Extraction::destinationFolder(const TZipEntryInfo &entry) const
{
    // An unset destination means the current folder, never the root.
    std::string folder = m_options.destDir.empty() ? std::string() : m_options.destDir + '\\';
    if (!m_options.recreateDirs)
        return folder;
    std::string directory = entry.Directory;
    for (const std::string &prefix : m_options.relativePathList) {
        if (startsWithInsensitive(directory, prefix)) {
            directory.erase(0, prefix.size());
            break;
        }
    }
    return folder + safeRelativeFolder(directory);
}

void Extraction::extractFolder(const TZipEntryInfo &entry, const std::string &folder)
{
    createFolderPath(folder);
    if (m_options.retainAttributes && (entry.ExternalAttributes & 0x01))
        platform::setReadOnly(folder, true);
    ++m_extracted;
}

bool Extraction::mayReplace(int index, std::string &path)
{
    const TZipEntryInfo &entry = m_currentEntry;
    switch (m_options.overwriteMode) {
    case TOverwriteMode::Always:
        return true;
    case TOverwriteMode::Never:
        return false;
    case TOverwriteMode::ifNewer:
        return entry.DateTime > fileDosDateTime(path);
    case TOverwriteMode::ifOlder:
        return entry.DateTime < fileDosDateTime(path);
    case TOverwriteMode::Prompt:
        break;
    }
    if (m_events.OnPromptForOverwrite) {
        bool overwrite = false;
        m_events.OnPromptForOverwrite(overwrite, index, path);
        return overwrite;
    }
    std::string text = "Replace existing file " + m_entries[index].FileName + "?";
    return platform::userInterface().messageBox(text, "File Exists Alert", platform::mb::YesNo) ==
           platform::mb::IdYes;
}

bool Extraction::createOutput(const std::string &path, const TZipEntryInfo &entry)
{
    auto open = [&] {
        return TFileBufferStream::open(path, platform::File::Mode::CreateOrTruncate,
                                       m_options.flushFilesOnClose);
    };
    m_outFile = open();
    if (!m_outFile && m_options.replaceReadOnly) {
        if (platform::isReadOnly(path))
            platform::setReadOnly(path, false);
        m_outFile = open();
    }
    if (!m_outFile)
        return false;
    // Sizing up front only spares the file system work; a refusal is harmless.
    m_presized = 0;
    if (entry.uncompressedSize() >= kSmallestPresize &&
        m_outFile->resize(std::min(entry.uncompressedSize(), kLargestPresize)))
        m_presized = std::min(entry.uncompressedSize(), kLargestPresize);
    m_outFile->seek(0);
    return true;
}

bool Extraction::decode(const TZipEntryInfo &entry)
{
    try {
        if (entry.CompressionMethod == kStored)
            copyStored(*this);
        else if (entry.CompressionMethod == kDeflated)
            inflateEntry(*this);
        else if (legacy::isLegacyMethod(entry.CompressionMethod))
            decodeLegacy(*this, entry.CompressionMethod, entry.Flags, entry.compressedSize(),
                         entry.uncompressedSize());
        else
            reportMessage(kUnknownMethodMessageId, "Unknown Compression Method", "Zip Error",
                          platform::mb::Ok);
    } catch (const EBiggerThanUncompressed &) {
        // Only this entry fails: its CRC check will not match.
        return false;
    }
    return true;
}

// The file gets exactly the bytes written: the size given up front may be
// larger when the entry's data falls short of its declared size.
bool Extraction::closeOutput()
{
    bool written = m_written >= m_presized || m_outFile->resize(m_written);
    written = m_outFile->close() && written;
    m_outFile.reset();
    return written;
}

void Extraction::reportMessage(int id, const std::string &text, const std::string &caption,
                               unsigned flags)
{
    if (m_events.OnHandleMessage) {
        int answer = platform::mb::IdOk;
        m_events.OnHandleMessage(id, text, caption, flags, answer);
        return;
    }
    platform::userInterface().messageBox(text, caption, flags);
}

legacy::WorkArea &Extraction::workArea()
{
    if (!m_workArea)
        m_workArea = std::make_unique<legacy::WorkArea>();
    return *m_workArea;
}

void Extraction::skipped(TSkipReason reason, const std::string &path, int index)
{
    m_outFile.reset();
    if (m_events.OnSkippingFile)
        m_events.OnSkippingFile(reason, path, index);
}

void Extraction::setTimeAndAttributes(const std::string &path, const TZipEntryInfo &entry) const
{
    uint32_t when = clampDosDateTime(entry.DateTime);
    platform::setFileDosTime(path, {uint16_t(when >> 16), uint16_t(when)});
    if (m_options.retainAttributes && (entry.ExternalAttributes & 0x01))
        platform::setReadOnly(path, true);
}

size_t Extraction::readCompressed(uint8_t *buffer)
{
    size_t count = size_t(std::min<uint64_t>(kBlockSize, m_compressedLeft));
    m_compressedLeft -= count;
    pumpMessages();
    if (m_archive.readAcrossParts(buffer, count) < count)
        throw EFatalUnzipError();
    return count;
}

void Extraction::flushOutput(size_t count)
{
    if (count == 0)
        return;
    if (m_written + count > m_expectedSize)
        throw EBiggerThanUncompressed();
    if (!m_outFile->write(m_output.data(), count))
        throw ECantWriteUCF();
    m_crc = uint32_t(crc32(m_crc, m_output.data(), uInt(count)));
    m_written += count;
    m_totalWritten += count;
    if (m_events.OnFilePercentDone)
        m_events.OnFilePercentDone(percent(m_written, m_expectedSize));
    if (m_events.OnTotalPercentDone)
        m_events.OnTotalPercentDone(percent(m_totalWritten, m_totalBytes));
}

} // namespace zip
