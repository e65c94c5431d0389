#include "CharacterSets.h"
#include "FbBlob.h"
#include "FbClient.h"
#include "FbValues.h"
#include "db/FbErrors.h"
#include "db/FbQuery.h"

#include "platform/Locale.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace db {

namespace {

XSQLDA *xsqlda(void *record)
{
    return static_cast<XSQLDA *>(record);
}

bool isBooleanType(short type)
{
    return type == kSqlBooleanOld || type == SQL_BOOLEAN;
}

std::string upperKey(std::string_view name)
{
    return platform::upperAnsi(name);
}

[[noreturn]] void invalidConversion()
{
    RaiseClientError(fceInvalidDataConversion);
}

} // namespace

// ---------------------------------------------------------------- TFbXSQLVAR

void *TFbXSQLVAR::record() const
{
    return &xsqlda(m_area->Record())->sqlvar[m_index];
}

bool TFbXSQLVAR::Nullable() const
{
    return (static_cast<XSQLVAR *>(record())->sqltype & 1) != 0;
}

std::string TFbXSQLVAR::SqlName() const
{
    const auto *var = static_cast<XSQLVAR *>(record());
    return std::string(var->sqlname, std::clamp<short>(var->sqlname_length, 0, 32));
}

std::string TFbXSQLVAR::RelationName() const
{
    const auto *var = static_cast<XSQLVAR *>(record());
    return std::string(var->relname, std::clamp<short>(var->relname_length, 0, 32));
}

bool TFbXSQLVAR::IsNull() const
{
    if (m_type == 0 || m_type == 1 || m_data.empty())
        return true;
    if (!m_area->IsParameterArea()) {
        const TFbQuery &statement = m_area->Statement();
        if (statement.RowsFetched() == 0 && !statement.ProcedureOutput())
            return true;
    }
    return m_indicator == -1 && (Nullable() || m_area->IsParameterArea());
}

std::string TFbXSQLVAR::textValue() const
{
    std::string text = m_type == SQL_VARYING
                           ? std::string(m_data.data() + 2,
                                         std::clamp<size_t>(readAs<unsigned short>(m_data.data()),
                                                            0, m_data.size() - 2))
                           : std::string(m_data.data(), m_data.size());
    const TFbQuery &statement = m_area->Statement();
    if (const TFbDatabase *database = statement.Database()) {
        // Column text is converted by the column's own character set.
        const int charset = CharsetId();
        if (database->UnicodeOrNoneAttachment() && database->IsUnicodeCharset(charset))
            text = toProgramText(std::move(text), TextEncoding::Utf8);
        else if (charset == charsets::kKoi8r || charset == charsets::kKoi8u)
            text = toProgramText(std::move(text), TextEncoding::Koi8r);
    }
    if ((statement.Options() & qoTrimCharFields) != 0) {
        while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
            text.pop_back();
    }
    return text;
}

std::string TFbXSQLVAR::AsText() const
{
    if (IsNull())
        return {};
    const char *data = m_data.data();
    switch (m_type) {
    case SQL_TEXT:
    case SQL_VARYING:
        return textValue();
    case SQL_SHORT:
    case SQL_LONG: {
        const std::int64_t value =
            m_type == SQL_SHORT ? readAs<std::int16_t>(data) : readAs<std::int32_t>(data);
        return m_scale == 0 ? std::to_string(value)
                            : values::GeneralFloatText(values::Scaled(value, m_scale));
    }
    case SQL_INT64:
        return m_scale == 0 ? std::to_string(readAs<std::int64_t>(data))
                            : values::ScaledIntegerText(readAs<std::int64_t>(data), m_scale);
    case SQL_FLOAT:
        return values::GeneralFloatText(readAs<float>(data));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return values::GeneralFloatText(readAs<double>(data));
    case SQL_TIMESTAMP: {
        const auto stamp = readAs<ISC_TIMESTAMP>(data);
        platform::DateTime when = values::DateOfDayNumber(stamp.timestamp_date);
        values::SetTimeOfDay(when, stamp.timestamp_time);
        return values::DateTimeText(when);
    }
    case SQL_TYPE_DATE:
        return platform::formatDate(values::DateOfDayNumber(readAs<ISC_DATE>(data)));
    case SQL_TYPE_TIME: {
        platform::DateTime when;
        values::SetTimeOfDay(when, readAs<ISC_TIME>(data));
        return platform::formatTime(when);
    }
    case SQL_BLOB: {
        TFbQuery &statement = m_area->Statement();
        if (m_area->IsParameterArea() || statement.Database() == nullptr ||
            statement.Transaction() == nullptr)
            return "(BLOB)";
        try {
            if ((statement.Options() & qoStartTransaction) != 0 &&
                !statement.Transaction()->Active())
                statement.Transaction()->StartTransaction();
            return ReadBlob(*statement.Database(), *statement.Transaction(), data, &statement);
        } catch (const std::exception &) {
            return "(BLOB)";
        }
    }
    case SQL_ARRAY:
        return "(ARRAY)";
    default:
        if (isBooleanType(m_type))
            return AsInt64() != 0 ? "True" : "False";
        invalidConversion();
    }
}

std::int64_t TFbXSQLVAR::AsInt64() const
{
    if (IsNull())
        return 0;
    const char *data = m_data.data();
    switch (m_type) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        const std::int64_t value = m_type == SQL_SHORT  ? readAs<std::int16_t>(data)
                                   : m_type == SQL_LONG ? readAs<std::int32_t>(data)
                                                        : readAs<std::int64_t>(data);
        if (m_scale == 0)
            return value;
        return static_cast<std::int64_t>(std::trunc(values::Scaled(value, m_scale)));
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        const double value = AsDouble();
        if (!std::isfinite(value) || std::fabs(value) >= 9.2e18)
            invalidConversion();
        return static_cast<std::int64_t>(std::trunc(value));
    }
    case SQL_TEXT:
    case SQL_VARYING: {
        std::string text = textValue();
        const auto first = text.find_first_not_of(' ');
        const auto last = text.find_last_not_of(' ');
        if (first == std::string::npos)
            invalidConversion();
        std::int64_t value = 0;
        const char *begin = text.data() + first + (text[first] == '+' ? 1 : 0);
        const char *end = text.data() + last + 1;
        const auto result = std::from_chars(begin, end, value);
        if (result.ec != std::errc() || result.ptr != end)
            invalidConversion();
        return value;
    }
    default:
        if (isBooleanType(m_type))
            return m_length == 1 ? readAs<std::uint8_t>(data) : readAs<std::int16_t>(data);
        invalidConversion();
    }
}

double TFbXSQLVAR::AsDouble() const
{
    if (IsNull())
        return 0;
    const char *data = m_data.data();
    switch (m_type) {
    case SQL_SHORT:
        return values::Scaled(readAs<std::int16_t>(data), m_scale);
    case SQL_LONG:
        return values::Scaled(readAs<std::int32_t>(data), m_scale);
    case SQL_INT64:
        return values::Scaled(readAs<std::int64_t>(data), m_scale);
    case SQL_FLOAT:
        return readAs<float>(data);
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return readAs<double>(data);
    case SQL_TEXT:
    case SQL_VARYING: {
        std::string text = textValue();
        std::replace(text.begin(), text.end(), platform::localeFormats().decimalSeparator, '.');
        const auto first = text.find_first_not_of(' ');
        const auto last = text.find_last_not_of(' ');
        if (first == std::string::npos)
            invalidConversion();
        double value = 0;
        const char *end = text.data() + last + 1;
        const auto result = std::from_chars(text.data() + first, end, value);
        if (result.ec != std::errc() || result.ptr != end)
            invalidConversion();
        return value;
    }
    default:
        if (isBooleanType(m_type))
            return static_cast<double>(AsInt64());
        invalidConversion();
    }
}

double TFbXSQLVAR::AsDateTime() const
{
    if (IsNull())
        return 0;
    const char *data = m_data.data();
    switch (m_type) {
    case SQL_TIMESTAMP: {
        const auto stamp = readAs<ISC_TIMESTAMP>(data);
        return values::DaysSince1899(stamp.timestamp_date, stamp.timestamp_time);
    }
    case SQL_TYPE_DATE:
        return values::DaysSince1899(readAs<ISC_DATE>(data), 0);
    case SQL_TYPE_TIME:
        return static_cast<double>(readAs<ISC_TIME>(data) / 10) / 86400000.0;
    case SQL_TEXT:
    case SQL_VARYING: {
        const auto when = platform::parseDateTime(textValue());
        if (!when)
            invalidConversion();
        return values::DaysSince1899(*when);
    }
    default:
        invalidConversion();
    }
}

void TFbXSQLVAR::SetNull()
{
    m_valueSet = true;
    m_indicator = -1;
}

void TFbXSQLVAR::SetAsText(std::string_view text)
{
    m_valueSet = true;
    m_type = SQL_TEXT;
    m_scale = 0;
    m_subType = 0;
    m_length = static_cast<short>(std::min<size_t>(text.size(), 32767));
    m_data.assign(text.begin(), text.begin() + m_length);
    if (m_data.empty())
        m_data.push_back('\0');
    m_indicator = 0;
}

void TFbXSQLVAR::SetAsInt64(std::int64_t value)
{
    m_valueSet = true;
    m_type = SQL_INT64;
    m_scale = 0;
    m_subType = 0;
    m_length = sizeof value;
    m_data.resize(sizeof value);
    std::memcpy(m_data.data(), &value, sizeof value);
    m_indicator = 0;
}

void TFbXSQLVAR::Assign(const TFbXSQLVAR &source)
{
    m_valueSet = true;
    m_type = source.m_type;
    m_scale = source.m_scale;
    m_subType = source.m_subType;
    m_length = source.m_length;
    m_data = source.m_data;
    m_indicator = source.IsNull() ? -1 : 0;
}

// ---------------------------------------------------------------- TFbXSQLDA

TFbXSQLDA::TFbXSQLDA(TFbQuery &statement, bool parameters)
    : m_statement(&statement), m_parameters(parameters)
{
}

TFbXSQLDA::~TFbXSQLDA() = default;

void TFbXSQLDA::Resize(int count)
{
    m_index.clear();
    m_count = count;
    if (count > m_capacity) {
        const size_t bytes = XSQLDA_LENGTH(count);
        const size_t units = (bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
        auto grown = std::make_unique<std::max_align_t[]>(units);
        std::memset(grown.get(), 0, units * sizeof(std::max_align_t));
        if (m_record)
            std::memcpy(grown.get(), m_record.get(), XSQLDA_LENGTH(m_capacity));
        m_record = std::move(grown);
        xsqlda(m_record.get())->version = SQLDA_VERSION1;
        for (int i = m_capacity; i < count; ++i)
            m_vars.push_back(std::make_unique<TFbXSQLVAR>(*this, i));
        m_capacity = count;
    }
    if (m_record) {
        xsqlda(m_record.get())->sqln = static_cast<short>(count);
        xsqlda(m_record.get())->sqld = static_cast<short>(count);
    }
}

TFbXSQLVAR *TFbXSQLDA::Find(std::string_view name) const
{
    const auto found = m_index.find(upperKey(name));
    return found == m_index.end() ? nullptr : m_vars[found->second].get();
}

void TFbXSQLDA::addToIndex(int index)
{
    m_index.emplace(upperKey(m_vars[index]->m_name), index);
}

void TFbXSQLDA::SetNames(const std::vector<std::string> &names)
{
    Resize(static_cast<int>(names.size()));
    for (int i = 0; i < m_count; ++i) {
        TFbXSQLVAR &var = *m_vars[i];
        var = TFbXSQLVAR(*this, i);
        var.m_name = names[i];
        if (!var.m_name.empty())
            addToIndex(i);
    }
}

namespace {

// The name as the connection's character set wrote it, in the program's code page.
std::string decodedName(const TFbDatabase *database, std::string name)
{
    if (database == nullptr)
        return name;
    return toProgramText(std::move(name), attachmentEncoding(*database));
}

size_t bufferSize(short type, short length)
{
    switch (type) {
    case SQL_VARYING:
        return static_cast<size_t>(length) + 2;
    case SQL_TEXT:
        return std::max<size_t>(static_cast<size_t>(length), 1);
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_LONG:
    case SQL_SHORT:
    case SQL_TIMESTAMP:
    case SQL_BLOB:
    case SQL_D_FLOAT:
    case SQL_ARRAY:
    case SQL_QUAD:
    case SQL_TYPE_TIME:
    case SQL_TYPE_DATE:
    case SQL_INT64:
        return static_cast<size_t>(length);
    default:
        if (isBooleanType(type))
            return static_cast<size_t>(length);
        RaiseClientError(fceUnknownSQLDataType, {static_cast<long long>(type)});
    }
}

} // namespace

void TFbXSQLDA::Initialize()
{
    XSQLDA *area = xsqlda(m_record.get());
    if (!m_parameters)
        m_index.clear();
    int unnamed = 0;
    for (int i = 0; i < m_count; ++i) {
        TFbXSQLVAR &var = *m_vars[i];
        XSQLVAR &raw = area->sqlvar[i];
        if (m_parameters && var.m_valueSet)
            continue;
        var.m_type = static_cast<short>(raw.sqltype & ~1);
        var.m_scale = raw.sqlscale;
        var.m_subType = raw.sqlsubtype;
        var.m_length = raw.sqllen;
        if (!m_parameters) {
            std::string name = decodedName(
                m_statement->Database(),
                std::string(raw.aliasname, std::clamp<short>(raw.aliasname_length, 0, 32)));
            if (name.empty())
                name = "F_" + std::to_string(++unnamed);
            if (Find(name) != nullptr) {
                for (int suffix = 1;; ++suffix) {
                    const std::string tail = std::to_string(suffix);
                    const std::string candidate =
                        name.substr(0, std::min(name.size(), 32 - tail.size())) + tail;
                    if (Find(candidate) == nullptr) {
                        name = candidate;
                        break;
                    }
                }
            }
            var.m_name = name;
            std::memcpy(raw.aliasname, name.data(), name.size());
            raw.aliasname_length = static_cast<short>(name.size());
            addToIndex(i);
        }
        const bool untyped = var.m_type == 0 || var.m_type == 1;
        if (untyped && !m_parameters)
            RaiseClientError(fceUnknownSQLDataType, {static_cast<long long>(var.m_type)});
        // A parameter the server cannot type (NULL) is sent as NULL text.
        if (m_parameters && (untyped || var.m_type == SQL_NULL))
            var.m_data.clear();
        else
            var.m_data.assign(bufferSize(var.m_type, var.m_length), '\0');
        raw.sqldata = var.m_data.empty() ? nullptr : var.m_data.data();
        var.m_indicator = (raw.sqltype & 1) != 0 || m_parameters ? -1 : 0;
        raw.sqlind = (raw.sqltype & 1) != 0 ? &var.m_indicator : nullptr;
    }
}

void TFbXSQLDA::BindParameters()
{
    XSQLDA *area = xsqlda(m_record.get());
    for (int i = 0; i < m_count; ++i) {
        TFbXSQLVAR &var = *m_vars[i];
        XSQLVAR &raw = area->sqlvar[i];
        if (var.m_data.empty()) {
            var.m_type = SQL_TEXT;
            var.m_length = 0;
            var.m_data.assign(1, '\0');
            var.m_indicator = -1;
        }
        raw.sqltype = static_cast<short>(var.m_type | 1);
        raw.sqlscale = var.m_scale;
        raw.sqlsubtype = var.m_subType;
        raw.sqllen = var.m_length;
        raw.sqldata = var.m_data.data();
        raw.sqlind = &var.m_indicator;
    }
}

void TFbXSQLDA::SetAllNull()
{
    for (int i = 0; i < m_count; ++i)
        if (m_vars[i]->Nullable())
            m_vars[i]->m_indicator = -1;
}

} // namespace db
