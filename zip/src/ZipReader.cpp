// Format notes. An archive ends with the end record (signature "PK" 5 6,
// 22 bytes plus a comment of up to 65535 bytes); it gives the entry count
// and where the central directory starts. A Zip64 archive puts a 20-byte
// locator right before it, pointing at a larger end record with 64-bit
// counts and offsets. The central directory holds one header per entry
// (signature "PK" 1 2, 46 bytes, then name, extra field and comment); each
// names the offset of the entry's local header ("PK" 3 4, 30 bytes, then
// name and extra field), which the entry's data follows. All integers are
// little-endian. When the end record or the central directory is damaged,
// the directory is rebuilt by walking the local headers from the first one
// found, and completed from whatever central headers can still be read.

#include "zip/ZipReader.h"

#include "ByteReader.h"
#include "Extraction.h"
#include "FileBufferStream.h"
#include "OpenArchive.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace zip {

namespace {

constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndRecordSize = 56;
constexpr size_t kZip64InfoSize = 32;
constexpr uint16_t kZip64Tag = 0x0001;
constexpr size_t kLargestEndRecord = TEndOfCentral::kSize + 0xFFFF;
constexpr size_t kDataDescriptorSize = 16;
// Self-extracting archives carry their program in front of the data.
constexpr uint64_t kSelfExtractorSize = 14000;
constexpr uint64_t kScanPumpInterval = 10240;

// The position of the extension's dot in the file-name part, or npos.
size_t extensionDot(const std::string &path)
{
    size_t dot = path.find_last_of('.');
    size_t separator = path.find_last_of("\\:");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return std::string::npos;
    return dot;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b)
{
    return b > std::numeric_limits<uint64_t>::max() - a ? std::numeric_limits<uint64_t>::max()
                                                        : a + b;
}

void loadEndRecord(ByteReader fields, TEndOfCentral &record)
{
    record.Signature = fields.u32();
    record.NumberOfThisDisk = fields.u16();
    record.CentralDirDisk = fields.u16();
    record.EntriesOnThisDisk = fields.u16();
    record.TotalEntries = fields.u16();
    record.CentralDirSize = fields.u32();
    record.CentralDirOffset = fields.u32();
    record.CommentLength = fields.u16();
}

TZip64Locator loadZip64Locator(ByteReader fields)
{
    TZip64Locator locator;
    locator.Signature = fields.u32();
    locator.EndRecordDisk = fields.u32();
    locator.EndRecordOffset = fields.u64();
    locator.TotalDisks = fields.u32();
    return locator;
}

TZip64EndRecord loadZip64EndRecord(ByteReader fields)
{
    TZip64EndRecord record;
    record.Signature = fields.u32();
    record.RecordSize = fields.u64();
    record.VersionMadeBy = fields.u16();
    record.VersionNeeded = fields.u16();
    record.NumberOfThisDisk = fields.u32();
    record.CentralDirDisk = fields.u32();
    record.EntriesOnThisDisk = fields.u64();
    record.TotalEntries = fields.u64();
    record.CentralDirSize = fields.u64();
    record.CentralDirOffset = fields.u64();
    return record;
}

// The fields both kinds of entry header hold, in the same order, from the
// version needed to the name's length.
void loadCommonFields(ByteReader &fields, TZipEntryInfo &entry)
{
    entry.VersionNeeded = fields.u16();
    entry.Flags = fields.u16();
    entry.CompressionMethod = fields.u16();
    entry.DateTime = fields.u16();
    entry.DateTime |= uint32_t(fields.u16()) << 16;
    entry.DateTime = clampDosDateTime(entry.DateTime);
    entry.Crc32 = fields.u32();
    entry.CompressedSize = fields.u32();
    entry.UncompressedSize = fields.u32();
    entry.NameLength = fields.u16();
}

// The name after a header's fixed fields; a short read puts the stream back
// at the header's start.
bool readName(TFileBufferStream &in, uint64_t headerStart, uint16_t length, std::string &name)
{
    name.assign(length, '\0');
    if (in.read(name.data(), name.size()) == name.size())
        return true;
    in.seek(headerStart);
    return false;
}

// A central header's Zip64 block holds only the values whose classic field
// is all ones, in a fixed order. A block too short for a value it should
// hold reads that value as 0 (ByteReader's failed() is deliberately not
// consulted): the header is damaged either way, an entry read with a zero
// size or offset fails its CRC check when extracted, and keeping the
// all-ones field instead would send the reader 4 GiB on into the archive.
// The directory itself stays readable, as it does for other damaged extras.
void takeZip64Info(TZipEntryInfo &entry, std::span<const uint8_t> extra)
{
    ByteReader blocks(extra);
    while (blocks.remaining() >= 4) {
        uint16_t tag = blocks.u16();
        uint16_t size = blocks.u16();
        if (tag != kZip64Tag) {
            blocks.skip(size);
            continue;
        }
        ByteReader data(extra.subspan(extra.size() - blocks.remaining(),
                                      std::min<size_t>(size, blocks.remaining())));
        TZip64Info &info = entry.Zip64Info.emplace();
        info.Tag = tag;
        info.Size = size;
        if (entry.UncompressedSize == 0xFFFFFFFF)
            info.UncompressedSize = data.u64();
        if (entry.CompressedSize == 0xFFFFFFFF)
            info.CompressedSize = data.u64();
        if (entry.LocalHeaderOffset == 0xFFFFFFFF)
            info.LocalHeaderOffset = data.u64();
        if (entry.DiskStart == 0xFFFF)
            info.DiskStart = data.u32();
        return;
    }
}

// A local header's Zip64 block is taken as it lies, whatever the header's
// fields say.
TZip64Info loadLocalZip64Info(ByteReader fields)
{
    TZip64Info info;
    info.Tag = fields.u16();
    info.Size = fields.u16();
    info.UncompressedSize = fields.u64();
    info.CompressedSize = fields.u64();
    info.LocalHeaderOffset = fields.u64();
    info.DiskStart = fields.u32();
    return info;
}

} // namespace

TZipReader::TZipReader()
    : m_archive(std::make_unique<OpenArchive>(m_endRecord, m_rebuiltFromLocal,
                                              m_events.OnFileNameForSplitPart))
{
}

TZipReader::~TZipReader()
{
    ClearDirectory();
}

void TZipReader::SetZipName(std::string_view zipName)
{
    if (platform::sameTextInsensitive(zipName, m_archive->name()))
        return;
    m_archive->setName(zipName);
    freeDirectory();
    m_endRecord.Reset();
    m_rebuiltFromLocal = false;
}

const std::string &TZipReader::ZipName() const
{
    return m_archive->name();
}

TBlockMode TZipReader::BlockMode() const
{
    return m_archive->blockMode();
}

void TZipReader::SetBlockMode(TBlockMode mode)
{
    m_archive->setBlockMode(mode);
}

void TZipReader::ReadDirectory()
{
    try {
        openArchive();
    } catch (const EIncompleteZip &) {
        m_archive->close();
        if (!m_events.OnInCompleteZip)
            return;
        try {
            openArchive();
        } catch (...) {
            ClearDirectory();
            throw;
        }
    } catch (...) {
        ClearDirectory();
        throw;
    }
    closeArchive();
}

int TZipReader::EntryCount() const
{
    return m_entries ? m_entries->Count() : 0;
}

TSortedEntries &TZipReader::sortedView() const
{
    return m_separateView ? *m_separateView : *m_entries;
}

TZipEntryInfo &TZipReader::entryAt(int index) const
{
    if (index < 0 || index >= EntryCount())
        throw EListError("Index " + std::to_string(index) + " is out of range");
    return sortedView()[index];
}

std::string TZipReader::EntryFileName(int index) const
{
    return entryAt(index).FileName;
}

void TZipReader::SetEntrySelected(int index, bool selected)
{
    entryAt(index).Selected = selected;
}

bool TZipReader::EntrySelected(int index) const
{
    return entryAt(index).Selected;
}

const TZipEntryInfo &TZipReader::EntryInfo(int index) const
{
    return entryAt(index);
}

void TZipReader::ClearDirectory()
{
    m_archive->clear();
    m_sideFile.reset();
    freeDirectory();
    m_endRecord.Reset();
    m_rebuiltFromLocal = false;
}

void TZipReader::SetSortMode(TZipSortMode mode)
{
    m_sortMode = mode;
    if (m_entries)
        buildSortedView();
}

void TZipReader::SetDestDir(std::string_view destDir)
{
    if (!destDir.empty() && destDir.back() == '\\')
        destDir.remove_suffix(1);
    m_options.destDir = destDir;
}

void TZipReader::SetRootDir(std::string_view rootDir)
{
    // An empty root stays empty: it strips nothing from entry folders.
    m_rootDir =
        rootDir.empty() ? std::string() : platform::withTrailingBackslash(std::string(rootDir));
    m_options.relativePathList = {m_rootDir};
}

void TZipReader::PumpMessages() const
{
    if (m_options.doProcessMessages)
        platform::userInterface().processEvents();
}

void TZipReader::freeDirectory()
{
    m_separateView.reset();
    m_entries.reset();
}

void TZipReader::openArchive()
{
    m_archive->open();
    if (m_entries && m_archive->unchangedSinceNoted())
        return;
    readDirectory();
}

void TZipReader::CloseArchive()
{
    if (!m_extracting)
        m_archive->close();
}

void TZipReader::closeArchive()
{
    if (!m_keepZipOpen)
        m_archive->close();
}

TFileBufferStream &TZipReader::directoryStream() const
{
    return m_sideFile ? *m_sideFile : m_archive->stream();
}

void TZipReader::readDirectory()
{
    m_archive->noteFileState();
    freeDirectory();
    m_endRecord.Reset();
    m_rebuiltFromLocal = false;

    bool found = findEndRecord(m_archive->stream());
    if (found && m_endRecord.numberOfThisDisk() < m_endRecord.centralDirDisk()) {
        m_endRecord.Reset();
        found = false;
    }
    if (!found)
        found = openSideFile();

    if (found) {
        m_archive->setCurrentPart(m_sideFile ? 0 : m_endRecord.numberOfThisDisk());
        if (m_endRecord.numberOfThisDisk() == 0)
            m_archive->setMultiPartMode(0);
        else if (m_archive->multiPartMode() == 0)
            m_archive->setMultiPartMode(2); // no drive here is removable media
        if (m_endRecord.totalEntries() > 0) {
            if (m_archive->isMultiPart() && !m_sideFile &&
                m_endRecord.centralDirDisk() != m_archive->currentPart())
                m_archive->openPart(int(m_endRecord.centralDirDisk()) + 1);
            directoryStream().seek(directoryStart());
        }
    } else {
        if (m_events.OnInCompleteZip)
            m_events.OnInCompleteZip(m_incompleteZipMode);
        switch (m_incompleteZipMode) {
        case TIncompleteZipMode::izAssumeNotAZip:
            throw ENotAZipFile();
        case TIncompleteZipMode::izAssumeMulti:
            throw EIncompleteZip();
        case TIncompleteZipMode::izAssumeBad:
            if (!scanLocalHeaders())
                throw EBadZipFile();
            break;
        }
    }
    if (!m_entries)
        m_entries =
            std::make_unique<TSortedEntries>(TZipSortMode::ByNone, true, TDuplicates::Error);
    readCentralDirectory();
    m_archive->setCurrentPart(m_sideFile ? 0 : m_endRecord.numberOfThisDisk());
    buildSortedView();
    m_sideFile.reset();
}

bool TZipReader::openSideFile()
{
    size_t dot = extensionDot(m_archive->name());
    std::string sidePath = m_archive->name().substr(0, dot) + ".zfc";
    if (!platform::fileExists(sidePath))
        return false;
    m_sideFile = TFileBufferStream::open(sidePath, platform::File::Mode::Read);
    if (m_sideFile && findEndRecord(*m_sideFile))
        return true;
    m_sideFile.reset();
    m_endRecord.Reset();
    return false;
}

uint64_t TZipReader::directoryStart() const
{
    return m_sideFile ? 0 : m_endRecord.centralDirOffset();
}

void TZipReader::readCentralDirectory()
{
    bool multiPart = m_archive->isMultiPart() && !m_sideFile;
    TZipEntryInfo *previous = nullptr; // the last entry read, when it had an extra field
    for (uint64_t i = 0; i < m_endRecord.totalEntries();) {
        PumpMessages();
        auto entry = std::make_unique<TZipEntryInfo>();
        entry->OemMode = m_oemConvert;
        bool read = readCentralHeader(*entry, multiPart);
        if (!read && previous) {
            // Some writers declare an extra field they never wrote; read
            // again as if the previous entry had none.
            uint64_t length = std::exchange(previous->ExtraLength, 0);
            previous = nullptr;
            TFileBufferStream &in = directoryStream();
            if (length <= in.position()) {
                in.seek(in.position() - length);
                read = readCentralHeader(*entry, multiPart);
            }
        }
        if (read && m_rebuiltFromLocal) {
            skipExtraAndComment(*entry);
            mergeCentralHeader(*entry);
            ++i;
            continue;
        }
        if (read) {
            TZipEntryInfo *added = entry.get();
            try {
                m_entries->Add(added);
                entry.release();
            } catch (const EListError &) {
                if (!scanLocalHeaders())
                    throw EBadZipFile();
                restartAfterScan(i, previous);
                continue;
            }
            skipExtraAndComment(*added);
            previous = added->ExtraLength != 0 ? added : nullptr;
            ++i;
            continue;
        }
        if (m_rebuiltFromLocal)
            break;
        if (multiPart || !scanLocalHeaders())
            throw EBadZipFile();
        restartAfterScan(i, previous);
    }
}

void TZipReader::restartAfterScan(uint64_t &index, TZipEntryInfo *&previous)
{
    index = 0;
    previous = nullptr;
    directoryStream().seek(directoryStart());
}

void TZipReader::skipExtraAndComment(const TZipEntryInfo &entry)
{
    TFileBufferStream &in = directoryStream();
    in.seek(in.position() + entry.ExtraLength + entry.CommentLength);
}

bool TZipReader::findEndRecord(TFileBufferStream &stream)
{
    uint64_t size = stream.size();
    if (size < TEndOfCentral::kSize)
        return size == 0; // an empty file is an archive without entries
    size_t window = size_t(std::min<uint64_t>(kLargestEndRecord, size));
    std::vector<uint8_t> buffer(window);
    stream.seek(size - window);
    if (stream.read(buffer.data(), window) != window)
        return false;
    std::span<const uint8_t> bytes(buffer);
    for (size_t position = window - TEndOfCentral::kSize + 1; position-- > 0;) {
        if (bytes[position] != 0x50 ||
            ByteReader(bytes.subspan(position)).u32() != TEndOfCentral::kSignature)
            continue;
        loadEndRecord(ByteReader(bytes.subspan(position, TEndOfCentral::kSize)), m_endRecord);
        m_endRecord.CommentPosition = size - window + position + TEndOfCentral::kSize;
        if (position >= kZip64LocatorSize &&
            ByteReader(bytes.subspan(position - kZip64LocatorSize)).u32() == kZip64LocatorSignature)
            loadZip64Records(stream,
                             bytes.subspan(position - kZip64LocatorSize, kZip64LocatorSize));
        return true;
    }
    return false;
}

void TZipReader::loadZip64Records(TFileBufferStream &stream, std::span<const uint8_t> locator)
{
    m_endRecord.Zip64Locator = loadZip64Locator(ByteReader(locator));
    std::array<uint8_t, kZip64EndRecordSize> record{};
    if (stream.seek(m_endRecord.Zip64Locator->EndRecordOffset) &&
        stream.read(record.data(), record.size()) == record.size())
        m_endRecord.Zip64EndRecord = loadZip64EndRecord(ByteReader(record));
}

bool TZipReader::readCentralHeader(TZipEntryInfo &entry, bool multiPart)
{
    TFileBufferStream *in = &directoryStream();
    uint64_t start = in->position();
    std::array<uint8_t, kCentralHeaderSize> record{};
    size_t got = in->read(record.data(), record.size());
    if (got == 0 && multiPart) {
        m_archive->openNextPart();
        in = &directoryStream();
        start = 0;
        got = in->read(record.data(), record.size());
    }
    ByteReader fields(record);
    if (got != record.size() || fields.u32() != kCentralHeaderSignature) {
        in->seek(start);
        return false;
    }
    entry.VersionMadeBy = fields.u16();
    loadCommonFields(fields, entry);
    entry.ExtraLength = fields.u16();
    entry.CommentLength = fields.u16();
    entry.DiskStart = fields.u16();
    entry.InternalAttributes = fields.u16();
    entry.ExternalAttributes = fields.u32();
    entry.LocalHeaderOffset = fields.u32();
    entry.CentralHeaderOffset = start;

    std::string name;
    if (!readName(*in, start, entry.NameLength, name))
        return false;
    bool madeOnDos = (entry.VersionMadeBy >> 8) == 0;
    entry.setName(std::move(name), madeOnDos);

    if (entry.ExtraLength > 0) {
        uint64_t extraStart = in->position();
        std::vector<uint8_t> extra(entry.ExtraLength);
        extra.resize(in->read(extra.data(), extra.size()));
        takeZip64Info(entry, extra);
        in->seek(extraStart);
    }
    return true;
}

bool TZipReader::readLocalHeader(TZipEntryInfo &entry)
{
    TFileBufferStream &in = m_archive->stream();
    uint64_t start = in.position();
    std::array<uint8_t, kLocalHeaderSize> record{};
    ByteReader fields(record);
    if (in.read(record.data(), record.size()) != record.size() ||
        fields.u32() != kLocalHeaderSignature) {
        in.seek(start);
        return false;
    }
    loadCommonFields(fields, entry);
    entry.LocalExtraLength = fields.u16();

    std::string name;
    if (!readName(in, start, entry.NameLength, name))
        return false;
    entry.setName(std::move(name), true);

    if (entry.LocalExtraLength > 0) {
        uint64_t extraStart = in.position();
        std::array<uint8_t, kZip64InfoSize> extra{};
        if (in.read(extra.data(), extra.size()) == extra.size() &&
            ByteReader(extra).u16() == kZip64Tag)
            entry.Zip64Info = loadLocalZip64Info(ByteReader(extra));
        in.seek(extraStart);
    }
    entry.setLocalHeaderOffset(start);
    return true;
}

bool TZipReader::scanLocalHeaders()
{
    if (m_rebuiltFromLocal)
        return false;
    m_rebuiltFromLocal = true;
    freeDirectory();

    TFileBufferStream &in = m_archive->stream();
    const std::string &zipName = m_archive->name();
    size_t dot = extensionDot(zipName);
    bool selfExtracting =
        dot != std::string::npos && platform::upperLatin(zipName.substr(dot)) == ".EXE";
    in.seek(selfExtracting ? kSelfExtractorSize : 0);
    if (!seekToLocalHeaderSignature(in))
        return false;

    m_entries = std::make_unique<TSortedEntries>(TZipSortMode::ByNone, true, TDuplicates::Error);
    for (;;) {
        auto entry = std::make_unique<TZipEntryInfo>();
        entry->OemMode = m_oemConvert;
        if (!readLocalHeader(*entry))
            break;
        PumpMessages();
        uint64_t next =
            saturatingAdd(in.position() + entry->LocalExtraLength, entry->compressedSize());
        if (entry->hasDataDescriptor())
            next = saturatingAdd(next, kDataDescriptorSize);
        // Headers are found at rising offsets, so none is a duplicate.
        m_entries->Add(entry.get());
        entry.release();
        in.seek(next);
    }
    m_endRecord.setRebuilt(in.position(), uint64_t(m_entries->Count()));
    m_archive->setCurrentPart(0);
    return true;
}

bool TZipReader::seekToLocalHeaderSignature(TFileBufferStream &in)
{
    static constexpr uint8_t kSignature[] = {'P', 'K', 3, 4};
    size_t matched = 0;
    uint64_t passed = 0;
    uint8_t byte = 0;
    while (in.read(&byte, 1) == 1) {
        if (matched == 0 && ++passed % kScanPumpInterval == 0)
            PumpMessages();
        if (byte == kSignature[matched]) {
            if (++matched < sizeof kSignature)
                continue;
            matched = 0;
            std::array<uint8_t, 2> version{};
            if (in.read(version.data(), version.size()) != version.size())
                return false;
            if (version[1] < 10) {
                in.seek(in.position() - 6);
                return true;
            }
            continue;
        }
        // The byte that broke the signature may start the next one.
        matched = byte == kSignature[0] ? 1 : 0;
    }
    return false;
}

void TZipReader::mergeCentralHeader(TZipEntryInfo &central)
{
    int index = m_entries->Find(central);
    if (index < 0)
        return;
    TZipEntryInfo &scanned = (*m_entries)[index];
    uint64_t offset = scanned.localHeaderOffset();
    scanned = central;
    scanned.setLocalHeaderOffset(offset);
}

void TZipReader::buildSortedView()
{
    m_separateView.reset();
    if (m_sortMode == TZipSortMode::ByNone)
        return;
    m_separateView = std::make_unique<TSortedEntries>(m_sortMode, false, TDuplicates::Accept);
    for (int i = 0; i < m_entries->Count(); ++i)
        m_separateView->Add(&(*m_entries)[i]);
}

int TZipReader::ExtractSelected()
{
    return extract(true);
}

int TZipReader::Extract()
{
    return extract(false);
}

int TZipReader::extract(bool selectedOnly)
{
    ReadDirectory();
    try {
        openArchive();
    } catch (...) {
        ClearDirectory();
        throw;
    }
    // Events during the run may reach back into the reader; the archive
    // stays open for the run whatever they ask.
    bool keepZipOpen = std::exchange(m_keepZipOpen, true);
    m_extracting = true;
    Extraction run(*m_archive, sortedView(), m_options, m_events, selectedOnly);
    auto finish = [&] {
        m_options.filesList.clear();
        m_keepZipOpen = keepZipOpen;
        m_extracting = false;
        if (m_events.OnUnzipComplete)
            m_events.OnUnzipComplete(run.extracted());
    };
    try {
        run.run();
    } catch (...) {
        finish();
        closeArchive();
        throw;
    }
    finish();
    closeArchive();
    return run.extracted();
}

} // namespace zip
