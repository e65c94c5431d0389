#include "db/FbFields.h"

#include "CharacterSets.h"
#include "FbBlob.h"
#include "FbClient.h"
#include "FbValues.h"
#include "Internals.h"
#include "RecordsCache.h"
#include "db/FbDataSet.h"

#include "platform/Text.h"

#include <cstdio>
#include <cstring>

namespace db {

namespace {

std::string hexGroup(const char *format, std::uint32_t value)
{
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

} // namespace

template <typename T> T TField::stored(const std::byte *row) const
{
    T value;
    std::memcpy(&value, valueOf(row), sizeof value);
    return value;
}

TField::TField(TFbDataSet &dataSet, const TFieldDef &def) : m_dataSet(dataSet), m_def(def) {}

const std::byte *TField::cachedRow(int row) const
{
    const std::byte *data = detail::Internals::rowData(m_dataSet, row);
    if (data == nullptr || data[m_def.layout.nullOffset] != std::byte{0})
        return nullptr;
    return data;
}

bool TField::IsNullAt(int row) const
{
    return cachedRow(row) == nullptr;
}

std::string TField::TextAt(int row) const
{
    const std::byte *data = cachedRow(row);
    return data == nullptr ? std::string() : text(data);
}

TFieldValue TField::ValueAt(int row) const
{
    const std::byte *data = cachedRow(row);
    return data == nullptr ? TFieldValue() : value(data);
}

bool TField::IsNull() const
{
    return IsNullAt(m_dataSet.ActiveRow());
}

std::string TField::AsText() const
{
    return TextAt(m_dataSet.ActiveRow());
}

TFieldValue TField::Value() const
{
    return ValueAt(m_dataSet.ActiveRow());
}

std::string_view TField::storedText(const std::byte *row) const
{
    const TFbColumnLayout &layout = m_def.layout;
    std::string_view text;
    if (layout.outOfLine) {
        text = detail::Internals::recordCache(m_dataSet)->Texts().Text(
            stored<TTextStore::Reference>(row));
    } else {
        const auto *bytes = reinterpret_cast<const char *>(valueOf(row));
        const auto size = static_cast<size_t>(layout.size);
        text = layout.dbKey || layout.guid ? std::string_view(bytes, size)
                                           : std::string_view(bytes, strnlen(bytes, size));
    }
    if ((m_dataSet.Options() & poTrimCharFields) != 0 && !layout.dbKey && !layout.guid) {
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
    }
    return text;
}

// ---------------------------------------------------------------- texts

std::string TFbStringField::text(const std::byte *row) const
{
    const std::string_view bytes = storedText(row);
    if (Layout().dbKey) {
        std::string key;
        for (size_t at = 0; at + 4 <= bytes.size(); at += 4) {
            std::uint32_t group = 0;
            for (int i = 3; i >= 0; --i)
                group = group * 256 + static_cast<unsigned char>(bytes[at + i]);
            key += hexGroup("%-8.8x", group);
        }
        return key;
    }
    const TFbDatabase *database = DataSet().Database();
    const int charset = Layout().subType & 0xFF;
    if (database != nullptr && charset > charsets::kOctets)
        return toProgramText(std::string(bytes), attachmentEncoding(*database));
    return std::string(bytes);
}

TFieldValue TFbStringField::value(const std::byte *row) const
{
    return std::string(storedText(row));
}

std::string TFbWideStringField::text(const std::byte *row) const
{
    return platform::utf8ToAnsi(storedText(row));
}

TFieldValue TFbWideStringField::value(const std::byte *row) const
{
    return text(row);
}

std::string TFbGuidField::text(const std::byte *row) const
{
    const std::string_view bytes = storedText(row);
    if (bytes.size() < 16)
        return std::string(bytes);
    const auto byte = [&](int i) { return static_cast<unsigned char>(bytes[i]); };
    char buffer[48];
    std::snprintf(buffer, sizeof buffer,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", byte(3),
                  byte(2), byte(1), byte(0), byte(5), byte(4), byte(7), byte(6), byte(8), byte(9),
                  byte(10), byte(11), byte(12), byte(13), byte(14), byte(15));
    return buffer;
}

TFieldValue TFbGuidField::value(const std::byte *row) const
{
    return text(row);
}

// ---------------------------------------------------------------- numbers

std::int64_t TFbIntegerField::integer(const std::byte *row) const
{
    switch (Layout().size) {
    case 1:
        return stored<std::uint8_t>(row);
    case 2:
        return stored<std::int16_t>(row);
    case 4:
        return stored<std::int32_t>(row);
    default:
        return stored<std::int64_t>(row);
    }
}

std::string TFbIntegerField::text(const std::byte *row) const
{
    return std::to_string(integer(row));
}

TFieldValue TFbIntegerField::value(const std::byte *row) const
{
    return integer(row);
}

std::string TFbLargeIntField::text(const std::byte *row) const
{
    return std::to_string(stored<std::int64_t>(row));
}

TFieldValue TFbLargeIntField::value(const std::byte *row) const
{
    return stored<std::int64_t>(row);
}

std::string TFbBooleanField::text(const std::byte *row) const
{
    return integer(row) != 0 ? "True" : "False";
}

TFieldValue TFbBooleanField::value(const std::byte *row) const
{
    return integer(row) != 0;
}

double TFbFloatField::number(const std::byte *row) const
{
    const TFbColumnLayout &layout = Layout();
    switch (layout.sqlType) {
    case SQL_FLOAT:
        return stored<float>(row);
    case SQL_SHORT:
        return values::Scaled(stored<std::int16_t>(row), layout.scale);
    case SQL_LONG:
        return values::Scaled(stored<std::int32_t>(row), layout.scale);
    default: // DOUBLE, and INT64 stored scaled
        return stored<double>(row);
    }
}

std::string TFbFloatField::text(const std::byte *row) const
{
    return values::GeneralFloatText(number(row));
}

TFieldValue TFbFloatField::value(const std::byte *row) const
{
    return number(row);
}

std::string TFbBCDField::text(const std::byte *row) const
{
    return values::ScaledIntegerText(stored<std::int64_t>(row), -Size());
}

TFieldValue TFbBCDField::value(const std::byte *row) const
{
    const auto raw = stored<std::int64_t>(row);
    if (Size() == 0)
        return raw;
    return values::Scaled(raw, -Size());
}

// ---------------------------------------------------------------- dates

std::string TFbDateField::text(const std::byte *row) const
{
    return platform::formatDate(values::DateOfRowDate(stored<std::int32_t>(row)));
}

TFieldValue TFbDateField::value(const std::byte *row) const
{
    return TDateTimeValue{values::DaysSince1899(values::DateOfRowDate(stored<std::int32_t>(row)))};
}

std::string TFbTimeField::text(const std::byte *row) const
{
    return platform::formatTime(values::TimeOfRowTime(stored<std::int32_t>(row)));
}

TFieldValue TFbTimeField::value(const std::byte *row) const
{
    return TDateTimeValue{stored<std::int32_t>(row) / 86400000.0};
}

std::string TFbDateTimeField::text(const std::byte *row) const
{
    return values::DateTimeText(values::DateTimeOfRowTimestamp(stored<double>(row)));
}

TFieldValue TFbDateTimeField::value(const std::byte *row) const
{
    return TDateTimeValue{
        values::DaysSince1899(values::DateTimeOfRowTimestamp(stored<double>(row)))};
}

// ---------------------------------------------------------------- BLOBs

std::string TFbBlobField::text(const std::byte *row) const
{
    TFbDataSet &dataSet = DataSet();
    if (dataSet.Database() == nullptr || dataSet.Transaction() == nullptr)
        return {};
    return ReadBlob(*dataSet.Database(), *dataSet.Transaction(), valueOf(row), &dataSet);
}

TFieldValue TFbBlobField::value(const std::byte *row) const
{
    return text(row);
}

std::string TFbArrayField::text(const std::byte *) const
{
    return "(ARRAY)";
}

TFieldValue TFbArrayField::value(const std::byte *row) const
{
    return text(row);
}

} // namespace db
