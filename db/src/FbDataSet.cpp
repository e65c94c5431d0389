#include "db/FbDataSet.h"

#include "CharacterSets.h"
#include "ConnectionChecks.h"
#include "FbClient.h"
#include "FbValues.h"
#include "RecordsCache.h"
#include "Registrations.h"
#include "SqlText.h"
#include "TableInfo.h"
#include "db/FbErrors.h"

#include "platform/ScopeExit.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>

namespace db {

namespace {

// Texts longer than this live in the cache's text store; the row keeps a
// reference to them.
constexpr int kLongestInlineText = 12;
constexpr int kOutOfLineSlot = sizeof(TTextStore::Reference);

bool containsUpper(std::string_view text, std::string_view word)
{
    return platform::upperAnsi(text).find(word) != std::string::npos;
}

int bytesPerCharacter(const TFbDatabase &database, int charset)
{
    if (!database.Connected())
        return 1;
    switch (charset) {
    case charsets::kUnicodeFss:
        return 3;
    case charsets::kUtf8:
        return database.ServerIsFirebird() ? 4 : 1;
    case charsets::kOtherLineUtf8:
        return 4;
    case charsets::kOtherLineUnicodeBe:
    case charsets::kOtherLineUnicodeLe:
        return 2;
    default:
        return 1;
    }
}

template <typename T> void writeAs(std::byte *place, T value)
{
    std::memcpy(place, &value, sizeof value);
}

void writeOutOfLine(std::byte *place, TTextStore::Reference reference)
{
    std::memcpy(place, &reference, sizeof reference);
}

} // namespace

TFbDataSet::TFbDataSet(TComponent *owner, std::string name)
    : TComponent(owner, std::move(name)), m_select(this, "SelectQuery")
{
    m_select.SetGoToFirstRecordOnExecute(false);
    SelectSQL().ChangingHandlers().Add(this, [this] { selectSqlChanging(); });
    SelectSQL().ChangedHandlers().Add(this, [this] { selectSqlChanged(); });
}

TFbDataSet::~TFbDataSet()
{
    try {
        if (Active())
            closeDataSet();
    } catch (...) {
        // The statement below goes anyway.
    }
    discardOpenState();
    SetDatabase(nullptr);
    SetTransaction(nullptr);
}

void TFbDataSet::SetDatabase(TFbDatabase *database)
{
    if (database == m_database)
        return;
    if (Active())
        closeDataSet();
    relinkStatement(m_database, database, this);
    m_select.SetDatabase(database);
    m_prepared = false;
}

void TFbDataSet::SetTransaction(TFbTransaction *transaction)
{
    if (transaction == m_transaction)
        return;
    relinkStatement(m_transaction, transaction, this);
    m_select.SetTransaction(transaction);
}

void TFbDataSet::DatabaseError(const std::string &message) const
{
    throw EDatabaseError(Name().empty() ? message : Name() + ": " + message);
}

void TFbDataSet::checkActive() const
{
    if (!Active())
        DatabaseError("Cannot perform this operation on a closed dataset");
}

// ---------------------------------------------------------------- SelectSQL

void TFbDataSet::selectSqlChanging()
{
    if (Active())
        RaiseClientError(fceDatasetOpen, {" change SelectSQL ", FullComponentName(this)});
}

void TFbDataSet::selectSqlChanged()
{
    m_fieldDefs.clear();
    m_prepared = false;
}

// ---------------------------------------------------------------- opening

void TFbDataSet::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active)
        openDataSet();
    else
        closeDataSet();
}

void TFbDataSet::startTransaction()
{
    if (m_database == nullptr && m_transaction != nullptr)
        SetDatabase(m_transaction->DefaultDatabase());
    if (m_transaction == nullptr && m_database != nullptr)
        SetTransaction(m_database->DefaultTransaction());
    if (m_transaction == nullptr || m_transaction->Active())
        return;
    if (m_transaction->Databases().empty() && m_database != nullptr)
        m_transaction->SetDefaultDatabase(m_database);
    if ((m_options & poStartTransaction) != 0)
        m_transaction->StartTransaction();
}

void TFbDataSet::prepareDataSet()
{
    RequireConnected(this, m_database);
    RequireActive(this, m_transaction);
    if (sql::IsBlankText(SelectSQL().Text()))
        RaiseClientError(fceQueryEmpty, {"Prepare " + FullComponentName(this)});
    if (!m_select.Open())
        m_select.Prepare();
    m_prepared = true;
    buildFieldDefs();
}

void TFbDataSet::openDataSet()
{
    startTransaction();
    try {
        if (!m_prepared || !m_select.Prepared())
            prepareDataSet();
        if (m_fieldDefs.empty())
            buildFieldDefs();
        const TFbSQLTypes type = m_select.StatementType();
        if (type != SQLSelect && type != SQLSelectForUpdate) {
            m_select.ExecQuery();
            m_state = dsBrowse;
            clearRecordBuffer();
            return;
        }
        computeLayout();
        createFields();
        m_select.ExecQuery();
        m_fetchedCount = 0;
        m_currentIndex = -1;
        m_cache = std::make_unique<TRecordsCache>(m_rowSize, m_bufferSize, m_bufferChunks);
        m_state = dsBrowse;
        CursorOpened();
        clearRecordBuffer();
        if (GetRecord(TGetMode::Next) == TGetResult::Ok)
            m_atEnd = false;
    } catch (...) {
        discardOpenState();
        throw;
    }
}

void TFbDataSet::buildFieldDefs()
{
    m_fieldDefs.clear();
    TFbXSQLDA &result = m_select.Current();
    for (int i = 0; i < result.Count(); ++i) {
        const TFbXSQLVAR &column = result[i];
        TFieldDef def;
        def.name = column.Name();
        def.fieldNo = i + 1;
        const std::string relation = column.RelationName();
        const std::string sqlName = column.SqlName();
        if (!relation.empty())
            def.origin = relation + "." + sqlName;
        TFbColumnLayout &layout = def.layout;
        layout.column = i;
        layout.sqlType = column.SqlType();
        layout.scale = column.SqlScale();
        layout.subType = column.SqlSubType();
        layout.size = column.SqlLen();
        layout.nullable = column.Nullable();
        const auto booleanRule = [&] {
            return (m_prepareOptions & psUseBooleanField) != 0 && !relation.empty() &&
                   relation != "DB$FIELDS_INFO" &&
                   TDbTableInfoCollect::Instance().IsBooleanColumn(*m_database, m_transaction,
                                                                   relation, sqlName);
        };
        switch (layout.sqlType) {
        case SQL_VARYING:
        case SQL_TEXT: {
            const int charset = column.CharsetId();
            layout.dbKey = sqlName == "DB_KEY" || sqlName == "RDB$DB_KEY";
            const bool guidDomain =
                (m_prepareOptions & psUseGuidField) != 0 && layout.size == 16 &&
                !relation.empty() && [&] {
                    TDbFieldInfo *info = TDbTableInfoCollect::Instance()
                                             .TableInfo(*m_database, m_transaction, relation)
                                             .FieldInfo(sqlName);
                    return info != nullptr && containsUpper(info->domainName, "GUID");
                }();
            if (guidDomain) {
                layout.guid = true;
                def.dataType = ftGuid;
                def.size = 38;
            } else if (m_database->IsUnicodeCharset(charset)) {
                def.dataType = ftWideString;
                def.size = layout.size / bytesPerCharacter(*m_database, charset);
            } else {
                def.dataType = ftString;
                def.size = layout.size;
            }
            layout.outOfLine = layout.size > kLongestInlineText && !layout.guid;
            break;
        }
        case SQL_DOUBLE:
        case SQL_FLOAT:
        case SQL_D_FLOAT:
            def.dataType = ftFloat;
            break;
        case SQL_LONG:
        case SQL_SHORT:
            if (layout.scale < 0)
                def.dataType = ftFloat;
            else if (booleanRule())
                def.dataType = ftBoolean;
            else
                def.dataType = layout.sqlType == SQL_SHORT ? ftSmallint : ftInteger;
            break;
        case SQL_TIMESTAMP:
            def.dataType = ftDateTime;
            break;
        case SQL_BLOB:
            def.dataType = layout.subType == 1 ? ftMemo : ftBlob;
            def.size = 8;
            break;
        case SQL_ARRAY:
            def.dataType = ftBytes;
            def.size = 8;
            break;
        case SQL_TYPE_TIME:
            def.dataType = ftTime;
            break;
        case SQL_TYPE_DATE:
            def.dataType = ftDate;
            break;
        case SQL_INT64:
            if (layout.scale == 0 && (m_prepareOptions & psUseLargeIntField) != 0) {
                def.dataType = ftLargeint;
            } else if (layout.scale >= -4 || (m_prepareOptions & psSQLINT64ToBCD) != 0) {
                def.dataType = ftBCD;
                def.size = -layout.scale;
            } else {
                def.dataType = ftFloat;
                layout.int64AsDouble = true;
            }
            break;
        case kSqlBooleanOld:
        case SQL_BOOLEAN:
            def.dataType = ftBoolean;
            break;
        default:
            continue; // no field class: the column is left out
        }
        m_fieldDefs.push_back(std::move(def));
    }
}

void TFbDataSet::computeLayout()
{
    const int columns = static_cast<int>(m_fieldDefs.size());
    int offset = 1 + columns; // status byte, then one null flag per column
    m_bufferSize = 0;
    for (int i = 0; i < columns; ++i) {
        TFbColumnLayout &layout = m_fieldDefs[i].layout;
        layout.nullOffset = 1 + i;
        layout.valueOffset = offset;
        int bytes = layout.size;
        switch (layout.sqlType) {
        case SQL_TEXT:
        case SQL_VARYING:
            if (layout.outOfLine) {
                bytes = kOutOfLineSlot;
                m_bufferSize += 4 + layout.size;
            }
            break;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
            bytes = 4;
            break;
        case SQL_TIMESTAMP:
            bytes = 8;
            break;
        default:
            break;
        }
        offset += bytes;
    }
    m_rowSize = offset;
    m_bufferSize += m_rowSize;
    for (TFieldDef &def : m_fieldDefs) {
        if (def.layout.sqlType == SQL_BLOB)
            m_bufferSize += 4; // room for an open BLOB reader
    }
}

void TFbDataSet::createFields()
{
    m_fields.clear();
    m_sources.clear();
    for (const TFieldDef &def : m_fieldDefs) {
        std::unique_ptr<TField> field;
        switch (def.dataType) {
        case ftString:
            field = std::make_unique<TFbStringField>(*this, def);
            break;
        case ftWideString:
            field = std::make_unique<TFbWideStringField>(*this, def);
            break;
        case ftGuid:
            field = std::make_unique<TFbGuidField>(*this, def);
            break;
        case ftSmallint:
            field = std::make_unique<TFbSmallIntField>(*this, def);
            break;
        case ftInteger:
            field = std::make_unique<TFbIntegerField>(*this, def);
            break;
        case ftLargeint:
            field = std::make_unique<TFbLargeIntField>(*this, def);
            break;
        case ftBoolean:
            field = std::make_unique<TFbBooleanField>(*this, def);
            break;
        case ftFloat:
            field = std::make_unique<TFbFloatField>(*this, def);
            break;
        case ftBCD:
            field = std::make_unique<TFbBCDField>(*this, def);
            break;
        case ftDate:
            field = std::make_unique<TFbDateField>(*this, def);
            break;
        case ftTime:
            field = std::make_unique<TFbTimeField>(*this, def);
            break;
        case ftDateTime:
            field = std::make_unique<TFbDateTimeField>(*this, def);
            break;
        case ftMemo:
            field = std::make_unique<TFbMemoField>(*this, def);
            break;
        case ftBlob:
            field = std::make_unique<TFbBlobField>(*this, def);
            break;
        case ftBytes:
            field = std::make_unique<TFbArrayField>(*this, def);
            break;
        case ftUnknown:
            continue;
        }
        m_fields.push_back(std::move(field));
        const TFbXSQLVAR &column = m_select.Current()[def.layout.column];
        m_sources.push_back({column.Buffer(), column.Indicator()});
    }
}

// ---------------------------------------------------------------- closing

void TFbDataSet::resetOpenState()
{
    if (!m_fields.empty())
        FieldsDestroying();
    m_state = dsInactive;
    clearRecordBuffer();
    m_cache.reset();
    m_fetchedCount = 0;
    m_currentIndex = -1;
    m_testedRow = -1;
    m_fields.clear();
    m_sources.clear();
}

void TFbDataSet::discardOpenState()
{
    try {
        resetOpenState();
        m_select.Close();
    } catch (...) {
        // Already failing or going away: the cursor is given up either way.
    }
}

void TFbDataSet::closeDataSet()
{
    resetOpenState();
    m_select.Close();
}

void TFbDataSet::DatabaseDisconnecting()
{
    if (Active())
        closeDataSet();
}

void TFbDataSet::DatabaseHandleLost()
{
    discardOpenState();
}

void TFbDataSet::DatabaseFreed()
{
    discardOpenState();
    m_database = nullptr;
    m_prepared = false;
}

void TFbDataSet::TransactionEnding()
{
    const TTransactionState state = m_transaction->TransactionState();
    if (Active() && (state == tsCommitting || state == tsRollingBack))
        closeDataSet();
}

void TFbDataSet::TransactionFreed()
{
    discardOpenState();
    m_transaction = nullptr;
}

// ---------------------------------------------------------------- rows

void TFbDataSet::clearRecordBuffer()
{
    m_bufferRow = -1;
    m_atBegin = true;
    m_atEnd = true;
}

const std::byte *TFbDataSet::RowData(int row) const
{
    if (!m_cache || row < 0 || row >= m_fetchedCount)
        return nullptr;
    return m_cache->Row(row);
}

void TFbDataSet::storeRow(std::byte *row)
{
    for (size_t i = 0; i < m_fieldDefs.size(); ++i) {
        const TFbColumnLayout &layout = m_fieldDefs[i].layout;
        const TColumnSource &source = m_sources[i];
        if (layout.nullable && *source.indicator == -1) {
            row[layout.nullOffset] = std::byte{1};
            continue; // the zero-filled slot reads as an empty text
        }
        std::byte *value = row + layout.valueOffset;
        const char *data = source.data;
        switch (layout.sqlType) {
        case SQL_TEXT:
            if (layout.outOfLine) {
                std::string_view text(data, static_cast<size_t>(layout.size));
                while (!text.empty() && text.back() == ' ')
                    text.remove_suffix(1);
                writeOutOfLine(value, m_cache->Texts().Store(text));
            } else {
                std::memcpy(value, data, static_cast<size_t>(layout.size));
            }
            break;
        case SQL_VARYING: {
            const size_t length =
                std::min<size_t>(readAs<unsigned short>(data), static_cast<size_t>(layout.size));
            if (layout.outOfLine)
                writeOutOfLine(value, m_cache->Texts().Store({data + 2, length}));
            else
                std::memcpy(value, data + 2, length);
            break;
        }
        case SQL_TYPE_DATE:
            writeAs<std::int32_t>(value, readAs<ISC_DATE>(data) + values::kRowDateOffset);
            break;
        case SQL_TYPE_TIME:
            writeAs<std::int32_t>(value, static_cast<std::int32_t>(readAs<ISC_TIME>(data) / 10));
            break;
        case SQL_TIMESTAMP: {
            const auto stamp = readAs<ISC_TIMESTAMP>(data);
            writeAs<double>(value,
                            values::RowTimestamp(stamp.timestamp_date, stamp.timestamp_time));
            break;
        }
        case SQL_INT64:
            if (layout.int64AsDouble)
                writeAs<double>(value, values::Scaled(readAs<std::int64_t>(data), layout.scale));
            else
                std::memcpy(value, data, 8);
            break;
        default:
            std::memcpy(value, data, static_cast<size_t>(layout.size));
            break;
        }
    }
}

bool TFbDataSet::fetchIntoCache()
{
    if (m_select.Eof() || m_select.Next() == nullptr)
        return false;
    storeRow(m_cache->RowForWrite(m_fetchedCount));
    ++m_fetchedCount;
    return true;
}

void TFbDataSet::FetchAll()
{
    checkActive();
    while (m_cache && fetchIntoCache()) {
    }
}

TGetResult TFbDataSet::stepForward()
{
    if (!m_cache)
        return TGetResult::Eof;
    if (m_currentIndex + 1 < m_fetchedCount) {
        ++m_currentIndex;
        return TGetResult::Ok;
    }
    if (m_currentIndex >= m_fetchedCount || m_select.Eof())
        return TGetResult::Eof;
    if (!fetchIntoCache()) {
        m_currentIndex = m_fetchedCount;
        return TGetResult::Eof;
    }
    m_currentIndex = m_fetchedCount - 1;
    return TGetResult::Ok;
}

bool TFbDataSet::RecordVisible(int)
{
    return true;
}

int TFbDataSet::SkipKnownHidden(int row, bool)
{
    return row;
}

bool TFbDataSet::testRow(int row)
{
    const platform::ScopeExit restore([this, state = m_state] {
        m_state = state;
        m_testedRow = -1;
    });
    m_state = dsFilter;
    m_testedRow = row;
    return RecordVisible(row);
}

TGetResult TFbDataSet::GetRecord(TGetMode mode)
{
    const auto stepBackward = [this] {
        if (m_currentIndex >= 1 && m_currentIndex <= m_fetchedCount) {
            --m_currentIndex;
            return TGetResult::Ok;
        }
        m_currentIndex = -1;
        return TGetResult::Bof;
    };
    TGetResult result = TGetResult::Ok;
    switch (mode) {
    case TGetMode::Current:
        result = m_currentIndex < 0                 ? TGetResult::Bof
                 : m_currentIndex >= m_fetchedCount ? TGetResult::Eof
                                                    : TGetResult::Ok;
        break;
    case TGetMode::Next:
        result = stepForward();
        break;
    case TGetMode::Prior:
        result = stepBackward();
        break;
    }
    const bool forward = mode != TGetMode::Prior;
    const auto skipHidden = [&] {
        if (result != TGetResult::Ok)
            return;
        m_currentIndex = SkipKnownHidden(m_currentIndex, forward);
        if (m_currentIndex < 0)
            result = TGetResult::Bof;
        else if (m_currentIndex >= m_fetchedCount)
            result = TGetResult::Eof;
    };
    skipHidden();
    while (result == TGetResult::Ok && !testRow(m_currentIndex)) {
        result = forward ? stepForward() : stepBackward();
        skipHidden();
    }
    if (result == TGetResult::Ok)
        m_bufferRow = m_currentIndex;
    return result;
}

void TFbDataSet::MoveFirst()
{
    checkActive();
    clearRecordBuffer();
    m_currentIndex = -1;
    if (GetRecord(TGetMode::Next) == TGetResult::Ok)
        m_atEnd = false;
}

void TFbDataSet::MoveNext()
{
    checkActive();
    if (m_atEnd)
        return;
    m_atBegin = false;
    m_atEnd = false;
    if (GetRecord(TGetMode::Next) != TGetResult::Ok)
        m_atEnd = true;
}

// ---------------------------------------------------------------- fields

TField *TFbDataSet::FindField(std::string_view name) const
{
    for (const auto &field : m_fields)
        if (platform::sameTextInsensitive(field->FieldName(), name))
            return field.get();
    return nullptr;
}

TField &TFbDataSet::FieldNamed(std::string_view name) const
{
    TField *field = FindField(name);
    if (field == nullptr)
        DatabaseError(FormatText("Field '%s' not found", {name}));
    return *field;
}

void TFbDataSet::DisableControls()
{
    if (++m_disableCount == 1 && OnDisableControls)
        OnDisableControls(*this);
}

void TFbDataSet::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && OnEnableControls)
        OnEnableControls(*this);
}

} // namespace db
