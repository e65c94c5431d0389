#include "zip/ZipRecords.h"

#include "platform/Text.h"

#include <algorithm>
#include <cmath>

namespace zip {

namespace {

constexpr uint32_t kAllOnes32 = 0xFFFFFFFF;
constexpr uint16_t kAllOnes16 = 0xFFFF;

uint64_t orZip64(uint32_t value, const std::optional<TZip64Info> &zip64,
                 uint64_t TZip64Info::*field)
{
    if (value != kAllOnes32)
        return value;
    return zip64 ? (*zip64).*field : 0;
}

// Ordering for names: byte order after folding the 26 Latin letters only.
int compareNames(const std::string &a, const std::string &b)
{
    size_t length = std::min(a.size(), b.size());
    for (size_t i = 0; i < length; ++i) {
        auto ca = static_cast<unsigned char>(platform::upperLatin(a[i]));
        auto cb = static_cast<unsigned char>(platform::upperLatin(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <class T> int ascending(T a, T b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// A DOS date and time as seconds on a proleptic calendar, comparable with
// others of its kind; 0 when it is no real date.
int64_t dosSeconds(uint32_t dateTime)
{
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year = 1980 + int(dateTime >> 25);
    int month = int(dateTime >> 21) & 0x0F;
    int day = int(dateTime >> 16) & 0x1F;
    int hour = int(dateTime >> 11) & 0x1F;
    int minute = int(dateTime >> 5) & 0x3F;
    int second = int(dateTime & 0x1F) * 2;
    bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
        return 0;
    int64_t days = int64_t(year) * 372 + (month - 1) * 31 + day;
    return ((days * 24 + hour) * 60 + minute) * 60 + second;
}

int ratePercent(const TZipEntryInfo &entry)
{
    uint64_t uncompressed = entry.uncompressedSize();
    if (uncompressed == 0)
        return 0;
    double rate = std::round(double(entry.compressedSize()) * 100.0 / double(uncompressed));
    return int(std::min(rate, 100.0));
}

} // namespace

uint64_t TZipEntryInfo::compressedSize() const
{
    return orZip64(CompressedSize, Zip64Info, &TZip64Info::CompressedSize);
}

uint64_t TZipEntryInfo::uncompressedSize() const
{
    return orZip64(UncompressedSize, Zip64Info, &TZip64Info::UncompressedSize);
}

uint64_t TZipEntryInfo::localHeaderOffset() const
{
    return orZip64(LocalHeaderOffset, Zip64Info, &TZip64Info::LocalHeaderOffset);
}

uint32_t TZipEntryInfo::diskStart() const
{
    if (DiskStart != kAllOnes16)
        return DiskStart;
    return Zip64Info ? Zip64Info->DiskStart : 0;
}

void TZipEntryInfo::setLocalHeaderOffset(uint64_t offset)
{
    if (offset < kAllOnes32) {
        LocalHeaderOffset = uint32_t(offset);
        return;
    }
    LocalHeaderOffset = kAllOnes32;
    if (!Zip64Info)
        Zip64Info.emplace();
    Zip64Info->LocalHeaderOffset = offset;
}

void TZipEntryInfo::setName(std::string stored, bool convertOem)
{
    std::replace(stored.begin(), stored.end(), '/', '\\');
    if (convertOem && OemMode != TOEMConvert::oemNever)
        stored = platform::oemToAnsi(stored);
    size_t split = stored.find_last_of("\\:");
    if (split == std::string::npos) {
        Directory.clear();
        FileName = std::move(stored);
        return;
    }
    Directory = stored.substr(0, split + 1);
    FileName = stored.substr(split + 1);
    if (Directory.back() == ':')
        Directory += '\\';
}

uint32_t TEndOfCentral::numberOfThisDisk() const
{
    if (NumberOfThisDisk == kAllOnes16 && Zip64EndRecord)
        return Zip64EndRecord->NumberOfThisDisk;
    return NumberOfThisDisk;
}

uint32_t TEndOfCentral::centralDirDisk() const
{
    if (CentralDirDisk == kAllOnes16 && Zip64EndRecord)
        return Zip64EndRecord->CentralDirDisk;
    return CentralDirDisk;
}

uint64_t TEndOfCentral::totalEntries() const
{
    if (TotalEntries == kAllOnes16 && Zip64EndRecord)
        return Zip64EndRecord->TotalEntries;
    return TotalEntries;
}

uint64_t TEndOfCentral::centralDirOffset() const
{
    if (CentralDirOffset == kAllOnes32 && Zip64EndRecord)
        return Zip64EndRecord->CentralDirOffset;
    return CentralDirOffset;
}

void TEndOfCentral::setRebuilt(uint64_t offset, uint64_t count)
{
    NumberOfThisDisk = 0;
    Zip64Locator.reset();
    Zip64EndRecord.reset();
    TotalEntries = uint16_t(std::min<uint64_t>(count, kAllOnes16));
    CentralDirOffset = uint32_t(std::min<uint64_t>(offset, kAllOnes32));
    if (TotalEntries == kAllOnes16 || CentralDirOffset == kAllOnes32) {
        // Values beyond the classic fields live in a Zip64 end record.
        Zip64EndRecord.emplace();
        Zip64EndRecord->TotalEntries = count;
        Zip64EndRecord->CentralDirOffset = offset;
    }
}

int TSortedEntries::Compare(const TZipEntryInfo &a, const TZipEntryInfo &b) const
{
    switch (m_sortMode) {
    case TZipSortMode::ByName:
        return compareNames(a.Directory + a.FileName, b.Directory + b.FileName);
    case TZipSortMode::ByFileName:
        return compareNames(a.FileName, b.FileName);
    case TZipSortMode::ByDirectoryName:
        return compareNames(a.Directory, b.Directory);
    case TZipSortMode::ByDate:
        return ascending(dosSeconds(b.DateTime), dosSeconds(a.DateTime));
    case TZipSortMode::ByCompressedSize:
        return ascending(b.compressedSize(), a.compressedSize());
    case TZipSortMode::ByUnCompressedSize:
        return ascending(b.uncompressedSize(), a.uncompressedSize());
    case TZipSortMode::ByRate:
        return ascending(ratePercent(b), ratePercent(a));
    case TZipSortMode::ByNone:
        break;
    }
    int byDisk = ascending(a.diskStart(), b.diskStart());
    return byDisk != 0 ? byDisk : ascending(a.localHeaderOffset(), b.localHeaderOffset());
}

uint32_t clampDosDateTime(uint32_t dateTime)
{
    unsigned year = dateTime >> 25, month = (dateTime >> 21) & 0x0F, day = (dateTime >> 16) & 0x1F;
    unsigned hour = (dateTime >> 11) & 0x1F, minute = (dateTime >> 5) & 0x3F;
    unsigned second = (dateTime & 0x1F) * 2;
    bool clamped = false;
    auto clamp = [&clamped](unsigned &value, unsigned low, unsigned high) {
        if (value < low || value > high) {
            value = std::clamp(value, low, high);
            clamped = true;
        }
    };
    clamp(hour, 0, 23);
    clamp(minute, 0, 59);
    clamp(second, 0, 59);
    clamp(year, 0, 2099 - 1980);
    clamp(month, 1, 12);
    clamp(day, 1, 31);
    if (!clamped)
        return dateTime;
    uint32_t date = (year << 9) | (month << 5) | day;
    uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
    return (date << 16) | time;
}

} // namespace zip
