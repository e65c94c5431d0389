#pragma once
// A cached dataset: runs one SELECT, fetches its rows one at a time as the
// caller moves forward, keeps every fetched row in a record cache, and
// shows the current row through field objects. Rows are never refetched
// while the dataset stays open; a second walk reads the cache only.

#include "db/Component.h"
#include "db/FbDatabase.h"
#include "db/FbFields.h"
#include "db/FbQuery.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

enum TDbDsOption : unsigned {
    poTrimCharFields = 1u << 0,
    poRefreshAfterPost = 1u << 1,
    poRefreshDeletedRecord = 1u << 2,
    poStartTransaction = 1u << 3,
    poAutoFormatFields = 1u << 4,
    poProtectedEdit = 1u << 5,
    poUseSelectForLock = 1u << 6,
    poKeepSorting = 1u << 7,
    poPersistentSorting = 1u << 8,
    poVisibleRecno = 1u << 9,
    poNoForceIsNull = 1u << 10,
    poFetchAll = 1u << 11,
    poFreeHandlesAfterClose = 1u << 12,
    poCacheCalcFields = 1u << 13,
    poRefreshAfterDelete = 1u << 14,
};
using TDbDsOptions = unsigned;
constexpr TDbDsOptions kDefaultDsOptions =
    poTrimCharFields | poRefreshAfterPost | poStartTransaction | poAutoFormatFields;

enum TpPrepareOption : unsigned {
    pfSetRequiredFields = 1u << 0,
    pfSetReadOnlyFields = 1u << 1,
    pfImportDefaultValues = 1u << 2,
    psUseBooleanField = 1u << 3,
    psUseGuidField = 1u << 4,
    psSQLINT64ToBCD = 1u << 5,
    psApplyRepositary = 1u << 6,
    psGetOrderInfo = 1u << 7,
    psAskRecordCount = 1u << 8,
    psCanEditComputedFields = 1u << 9,
    psSetEmptyStrToNull = 1u << 10,
    psSupportUnicodeBlobs = 1u << 11,
    psUseLargeIntField = 1u << 12,
};
using TpPrepareOptions = unsigned;
constexpr TpPrepareOptions kDefaultPrepareOptions =
    pfImportDefaultValues | psUseBooleanField | psGetOrderInfo | psSetEmptyStrToNull;

enum TDataSetState { dsInactive, dsBrowse, dsFilter };

/// What the row-getting routine is asked for, and what it answers.
enum class TGetMode { Current, Next, Prior };
enum class TGetResult { Ok, Bof, Eof };

class TRecordsCache;

class TFbDataSet : public TComponent, public IFbDatabaseClient, public IFbTransactionClient {
public:
    explicit TFbDataSet(TComponent *owner = nullptr, std::string name = {});
    ~TFbDataSet() override;

    /// The SELECT's lines (the very list of SelectStatement). Changing them
    /// while open throws EFbClientError 28, first for the statement
    /// ("change sql text"), then for the dataset (" change SelectSQL ").
    TStrings &SelectSQL() { return m_select.SQL(); }
    /// The statement named SelectQuery that runs the SELECT.
    TFbQuery &SelectStatement() { return m_select; }

    TFbDatabase *Database() const { return m_database; }
    void SetDatabase(TFbDatabase *database);
    TFbTransaction *Transaction() const { return m_transaction; }
    void SetTransaction(TFbTransaction *transaction);
    TDbDsOptions Options() const { return m_options; }
    void SetOptions(TDbDsOptions options) { m_options = options; }
    TpPrepareOptions PrepareOptions() const { return m_prepareOptions; }
    void SetPrepareOptions(TpPrepareOptions options) { m_prepareOptions = options; }
    /// Rows per cache block (when a block of them holds at least 1 KB).
    int BufferChunks() const { return m_bufferChunks; }
    void SetBufferChunks(int rows) { m_bufferChunks = rows > 0 ? rows : 1; }

    bool Active() const { return m_state != dsInactive; }
    /// true opens (nothing when open), false closes (nothing when closed).
    /// Opening throws the statement layer's errors and leaves the dataset
    /// closed, with no cache and no fields.
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return m_state; }
    bool Prepared() const { return m_prepared; }

    /// Throws EDatabaseError "<Name>: Cannot perform this operation on a
    /// closed dataset" when closed; fetch errors propagate.
    void MoveFirst();
    void MoveNext();
    bool AtEnd() const { return m_atEnd; }
    bool AtBegin() const { return m_atBegin; }

    /// The field of that name, letter case ignored; throws EDatabaseError
    /// "<Name>: Field '<name>' not found".
    TField &FieldNamed(std::string_view name) const;
    /// Null when no field has that name.
    TField *FindField(std::string_view name) const;
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TField &Field(int index) const { return *m_fields.at(index); }
    const std::vector<TFieldDef> &FieldDefs() const { return m_fieldDefs; }

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }
    std::function<void(TFbDataSet &)> OnDisableControls;
    std::function<void(TFbDataSet &)> OnEnableControls;

    // The record cache while open.
    int FetchedCount() const { return m_fetchedCount; }
    int CurrentIndex() const { return m_currentIndex; }
    /// Fetches every row not yet cached; the position stays.
    void FetchAll();
    /// The row the fields show: the row under test in the filter state,
    /// else the record buffer's row; -1 for none.
    int ActiveRow() const { return m_state == dsFilter ? m_testedRow : m_bufferRow; }

    // Connection and transaction hooks.
    void DatabaseDisconnecting() override;
    void DatabaseHandleLost() override;
    void DatabaseFreed() override;
    void TransactionEnding() override;
    void TransactionFreed() override;

protected:
    /// The single row-getting routine behind every movement: the current,
    /// next or previous row relative to CurrentIndex, moving on in the same
    /// direction (Current counts as forward) past every row that
    /// RecordVisible rejects. On Ok the row becomes the record buffer's.
    TGetResult GetRecord(TGetMode mode);

    /// The visibility hook: whether a cached row is shown. Called in the
    /// filter state, so that fields read `row` itself (ActiveRow); the base
    /// shows every row. A filter overrides it and reads the fields it needs
    /// through TField::Value / AsText.
    virtual bool RecordVisible(int row);
    /// Where a walk may go on from `row` (forward or backward) without
    /// testing the rows in between, because they are known to be hidden:
    /// FetchedCount or -1 when no row is left that way. The base knows of
    /// no hidden rows and answers `row`.
    virtual int SkipKnownHidden(int row, bool forward);

    /// Called when an open has created the cache, before the first row is
    /// fetched (a filter is parsed here when its text is set).
    virtual void CursorOpened() {}
    /// Called while closing, before the fields are destroyed.
    virtual void FieldsDestroying() {}

    /// Throws EDatabaseError with the message prefixed by "<Name>: ".
    [[noreturn]] void DatabaseError(const std::string &message) const;
    void checkActive() const;
    /// Places the cache cursor on a row before GetRecord(TGetMode::Current).
    void setCurrentIndex(int row) { m_currentIndex = row; }
    void clearRecordBuffer();

private:
    friend struct detail::Internals;

    /// The cached row, or null for an index outside the cache.
    const std::byte *RowData(int row) const;
    const TRecordsCache *RecordCache() const { return m_cache.get(); }

    void startTransaction();
    void openDataSet();
    void prepareDataSet();
    void buildFieldDefs();
    void computeLayout();
    void createFields();
    void closeDataSet();
    void resetOpenState();
    void discardOpenState();
    void selectSqlChanging();
    void selectSqlChanged();
    TGetResult stepForward();
    bool fetchIntoCache();
    void storeRow(std::byte *row);
    bool testRow(int row);

    // Where a column's value arrives from the server.
    struct TColumnSource {
        const char *data;
        const short *indicator;
    };

    TFbQuery m_select;
    std::vector<TColumnSource> m_sources;
    TFbDatabase *m_database = nullptr;
    TFbTransaction *m_transaction = nullptr;
    TDbDsOptions m_options = kDefaultDsOptions;
    TpPrepareOptions m_prepareOptions = kDefaultPrepareOptions;
    int m_bufferChunks = 32;

    TDataSetState m_state = dsInactive;
    bool m_prepared = false;
    std::vector<TFieldDef> m_fieldDefs;
    std::vector<std::unique_ptr<TField>> m_fields;
    int m_rowSize = 0;
    int m_bufferSize = 0;
    std::unique_ptr<TRecordsCache> m_cache;
    int m_fetchedCount = 0;
    int m_currentIndex = -1;
    int m_bufferRow = -1;
    int m_testedRow = -1;
    bool m_atBegin = true;
    bool m_atEnd = true;
    int m_disableCount = 0;
};

} // namespace db
