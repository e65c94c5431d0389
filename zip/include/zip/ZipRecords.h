#pragma once
// The records of an archive as the reader keeps them: one entry of the
// directory, the end record with its Zip64 companions, and the ordered
// entry list.

#include "zip/ZipLists.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zip {

enum class TOEMConvert { oemAlways, oemNever, oemFlexible };

enum class TZipSortMode {
    ByName,
    ByFileName,
    ByDirectoryName,
    ByDate,
    ByCompressedSize,
    ByUnCompressedSize,
    ByRate,
    ByNone,
};

/// The Zip64 extended information of an entry (extra block 0x0001).
struct TZip64Info {
    uint16_t Tag = 0;
    uint16_t Size = 0;
    uint64_t UncompressedSize = 0;
    uint64_t CompressedSize = 0;
    uint64_t LocalHeaderOffset = 0;
    uint32_t DiskStart = 0;
};

class TZipEntryInfo {
public:
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t CompressionMethod = 0;
    uint32_t DateTime = 0; ///< DOS date in the high word, time in the low word
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;   ///< all ones: the value is in Zip64Info
    uint32_t UncompressedSize = 0; ///< all ones: the value is in Zip64Info
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t LocalExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t DiskStart = 0; ///< all ones: the value is in Zip64Info
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0; ///< all ones: the value is in Zip64Info
    uint64_t CentralHeaderOffset = 0;
    std::string FileName;  ///< the name after its last backslash or colon
    std::string Directory; ///< the rest, ending in a backslash, or empty
    std::optional<TZip64Info> Zip64Info;
    bool ToProcess = false;
    bool Selected = false;
    TOEMConvert OemMode = TOEMConvert::oemAlways;

    uint64_t compressedSize() const;
    uint64_t uncompressedSize() const;
    uint64_t localHeaderOffset() const;
    uint32_t diskStart() const;
    /// Keeps offsets beyond 32 bits in Zip64Info.
    void setLocalHeaderOffset(uint64_t offset);
    bool isEncrypted() const { return Flags & 0x0001; }
    bool hasDataDescriptor() const { return Flags & 0x0008; }

    /// Converts a stored name ("/" to "\", then code page 866 to 1251 when
    /// convertOem and OemMode allow it) and splits it into Directory and
    /// FileName.
    void setName(std::string stored, bool convertOem);
};

/// The Zip64 end of central directory locator.
struct TZip64Locator {
    uint32_t Signature = 0;
    uint32_t EndRecordDisk = 0;
    uint64_t EndRecordOffset = 0;
    uint32_t TotalDisks = 0;
};

/// The first 56 bytes of the Zip64 end of central directory record.
struct TZip64EndRecord {
    uint32_t Signature = 0;
    uint64_t RecordSize = 0;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint32_t NumberOfThisDisk = 0;
    uint32_t CentralDirDisk = 0;
    uint64_t EntriesOnThisDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t CentralDirSize = 0;
    uint64_t CentralDirOffset = 0;
};

class TEndOfCentral {
public:
    static constexpr uint32_t kSignature = 0x06054B50;
    static constexpr size_t kSize = 22;

    uint32_t Signature = kSignature;
    uint16_t NumberOfThisDisk = 0;
    uint16_t CentralDirDisk = 0;
    uint16_t EntriesOnThisDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t CentralDirSize = 0;
    uint32_t CentralDirOffset = 0;
    uint16_t CommentLength = 0;
    uint64_t CommentPosition = 0; ///< archive offset where the comment starts
    std::optional<TZip64Locator> Zip64Locator;
    std::optional<TZip64EndRecord> Zip64EndRecord;

    uint32_t numberOfThisDisk() const;
    uint32_t centralDirDisk() const;
    uint64_t totalEntries() const;
    uint64_t centralDirOffset() const;

    void Reset() { *this = TEndOfCentral(); }
    /// Records a directory rebuilt from local headers: disk 0, count
    /// entries, central directory (what follows the last entry) at offset.
    void setRebuilt(uint64_t offset, uint64_t count);
};

class TSortedEntries : public TSortedObjectList<TZipEntryInfo> {
public:
    TSortedEntries(TZipSortMode sortMode, bool ownsObjects, TDuplicates duplicates)
        : TSortedObjectList(ownsObjects, duplicates), m_sortMode(sortMode)
    {
    }
    TZipSortMode SortMode() const { return m_sortMode; }

protected:
    int Compare(const TZipEntryInfo &a, const TZipEntryInfo &b) const override;

private:
    TZipSortMode m_sortMode;
};

/// Clamps the parts of a DOS date and time (date in the high word) into
/// their ranges; a value that needs no clamping comes back unchanged.
uint32_t clampDosDateTime(uint32_t dateTime);

} // namespace zip
