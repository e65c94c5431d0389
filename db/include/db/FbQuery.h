#pragma once
// A statement: one SQL text prepared on the server, executed in its
// transaction, and for a query fetched one row at a time into a result
// area whose columns are read as text, integer, floating point or date.

#include "db/Component.h"
#include "db/FbDatabase.h"
#include "db/Strings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

/// The server's statement types (the API's codes).
enum TFbSQLTypes : int {
    SQLUnknown = 0,
    SQLSelect = 1,
    SQLInsert = 2,
    SQLUpdate = 3,
    SQLDelete = 4,
    SQLDDL = 5,
    SQLGetSegment = 6,
    SQLPutSegment = 7,
    SQLExecProcedure = 8,
    SQLStartTransaction = 9,
    SQLCommit = 10,
    SQLRollback = 11,
    SQLSelectForUpdate = 12,
    SQLSetGenerator = 13,
    SQLSavePointOperation = 14,
};

enum TDbQueryOption : unsigned {
    qoStartTransaction = 1u << 0,
    qoAutoCommit = 1u << 1,
    qoTrimCharFields = 1u << 2,
    qoNoForceIsNull = 1u << 3,
    qoFreeHandleAfterExecute = 1u << 4,
};
using TDbQueryOptions = unsigned;

class TFbQuery;
class TFbXSQLDA;

/// One variable of a descriptor area: a result column or a parameter.
class TFbXSQLVAR {
public:
    TFbXSQLVAR(TFbXSQLDA &area, int index) : m_area(&area), m_index(index) {}

    /// The alias name, made unique within its area.
    const std::string &Name() const { return m_name; }
    int Index() const { return m_index; }
    /// Type without the null bit, scale, subtype and length as described.
    short SqlType() const { return m_type; }
    short SqlScale() const { return m_scale; }
    short SqlSubType() const { return m_subType; }
    short SqlLen() const { return m_length; }
    bool Nullable() const;
    /// The column's own name and its table as the server describes them.
    std::string SqlName() const;
    std::string RelationName() const;
    /// The character set id of a text column.
    int CharsetId() const { return m_subType & 0xFF; }

    /// NULL indicator set, no type, or no row fetched into the result area yet.
    bool IsNull() const;
    /// Empty for NULL; throws EFbClientError 33 for a type without a text.
    std::string AsText() const;
    /// Throws EFbClientError 33 when the value cannot be read as one.
    std::int64_t AsInt64() const;
    int AsInteger() const { return static_cast<int>(AsInt64()); }
    double AsDouble() const;
    /// Days since 30 December 1899, the fraction being the time.
    double AsDateTime() const;
    /// The value buffer and the NULL indicator themselves, stable from
    /// preparation to the next text change, for callers copying many rows.
    const char *Buffer() const { return m_data.data(); }
    const short *Indicator() const { return &m_indicator; }

    // Parameter values; a parameter without one is sent as NULL.
    void SetNull();
    void SetAsText(std::string_view text);
    void SetAsInt64(std::int64_t value);
    /// Takes the other variable's value (type, bytes and NULL flag).
    void Assign(const TFbXSQLVAR &source);

private:
    friend class TFbXSQLDA;
    void *record() const;
    std::string textValue() const;

    TFbXSQLDA *m_area;
    int m_index;
    std::string m_name;
    short m_type = 0;
    short m_scale = 0;
    short m_subType = 0;
    short m_length = 0;
    std::vector<char> m_data;
    short m_indicator = 0;
    bool m_valueSet = false; ///< a parameter value given by the caller
};

/// A descriptor area: the API's XSQLDA record and its variables, with a
/// case-insensitive index of their names.
class TFbXSQLDA {
public:
    TFbXSQLDA(TFbQuery &statement, bool parameters);
    ~TFbXSQLDA();
    TFbXSQLDA(const TFbXSQLDA &) = delete;
    TFbXSQLDA &operator=(const TFbXSQLDA &) = delete;

    int Count() const { return m_count; }
    TFbXSQLVAR &operator[](int index) { return *m_vars.at(index); }
    const TFbXSQLVAR &operator[](int index) const { return *m_vars.at(index); }
    /// Looked up without regard to case; null when absent.
    TFbXSQLVAR *Find(std::string_view name) const;
    TFbQuery &Statement() const { return *m_statement; }
    bool IsParameterArea() const { return m_parameters; }

    /// Count := n; the record grows (zero-filled) and never shrinks.
    void Resize(int count);
    /// Copies types after describing, names the variables and gives them buffers.
    void Initialize();
    /// Names a parameter area's variables from the text (before any describe).
    void SetNames(const std::vector<std::string> &names);
    /// Writes the parameters' values into the record before an execution.
    void BindParameters();
    /// Sets every nullable variable to NULL.
    void SetAllNull();

    /// The API record (an XSQLDA); null while nothing was allocated.
    void *Record() const { return m_record.get(); }

private:
    void addToIndex(int index);

    TFbQuery *m_statement;
    bool m_parameters;
    int m_count = 0;
    int m_capacity = 0;
    std::unique_ptr<std::max_align_t[]> m_record;
    std::vector<std::unique_ptr<TFbXSQLVAR>> m_vars;
    std::map<std::string, int> m_index; ///< upper-cased name -> position
};

class TFbQuery : public TComponent, public IFbDatabaseClient, public IFbTransactionClient {
public:
    explicit TFbQuery(TComponent *owner = nullptr, std::string name = {});
    ~TFbQuery() override;

    /// Changing the lines while a cursor is open throws EFbClientError 28;
    /// a text with an unclosed comment or string throws 51.
    TStrings &SQL() { return m_sql; }
    const TStrings &SQL() const { return m_sql; }

    TFbDatabase *Database() const { return m_database; }
    void SetDatabase(TFbDatabase *database);
    TFbTransaction *Transaction() const { return m_transaction; }
    void SetTransaction(TFbTransaction *transaction);

    bool ParamCheck() const { return m_paramCheck; }
    void SetParamCheck(bool value) { m_paramCheck = value; }
    bool GoToFirstRecordOnExecute() const { return m_goToFirstRecord; }
    void SetGoToFirstRecordOnExecute(bool value) { m_goToFirstRecord = value; }
    TDbQueryOptions Options() const { return m_options; }
    void SetOptions(TDbQueryOptions options) { m_options = options; }

    /// Prepares on the server when not prepared. Throws EFbClientError 21,
    /// 12, 22, 15, 37, 0 or 2, or EFbServerError with this statement as
    /// sender; a handle allocated here is freed again on failure.
    void Prepare();
    bool Prepared() const { return m_prepared; }
    /// Executes; a SELECT opens a cursor (and fetches the first row when
    /// GoToFirstRecordOnExecute). Throws as Prepare does.
    virtual void ExecQuery();
    /// The result area with the next row, or null at the end. Throws
    /// EFbClientError 29 when no cursor is open; a fetch error closes the
    /// cursor and throws EFbServerError.
    const TFbXSQLDA *Next();
    /// Closes the cursor.
    void Close();
    /// Drops the server statement.
    void FreeHandle();

    bool Open() const { return m_open; }
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    int RowsFetched() const { return m_rowsFetched; }
    bool ProcedureOutput() const { return m_procedureOutput; }
    TFbSQLTypes StatementType() const { return m_statementType; }
    int StatementKind() const { return m_statementKind; }
    TFbHandle StatementHandle() const { return m_handle; }
    const std::string &TextToSend() const { return m_textToSend; }

    TFbXSQLDA &Current() { return m_result; }
    const TFbXSQLDA &Current() const { return m_result; }
    TFbXSQLDA &Params() { return m_params; }
    /// Throws EFbClientError 41 ("Field No: n" or the name) when absent.
    TFbXSQLVAR &Column(int index);
    TFbXSQLVAR &ColumnNamed(std::string_view name);
    /// Throws std::runtime_error "Parameter "<name>" does not exist in <statement>".
    TFbXSQLVAR &ParamNamed(std::string_view name);

    // Events; empty unless assigned.
    std::function<void(TFbQuery &)> BeforeExecute;
    std::function<void(TFbQuery &)> AfterExecute;
    std::function<void(TFbQuery &)> OnSQLChanging;

    // Connection and transaction hooks.
    void DatabaseDisconnecting() override;
    void DatabaseHandleLost() override;
    void DatabaseFreed() override;
    void TransactionEnding() override;
    void TransactionFreed() override;

protected:
    void executeBase();

private:
    void sqlChanging();
    void sqlChanged();
    void encodeTextToSend();
    void prepareOnServer();
    void readStatementType();
    void describe();
    void beforeExecute();
    void afterExecute();
    void openCursor();
    [[noreturn]] void raiseServerError() const;
    IFbClientLibrary &library() const;

    TStrings m_sql;
    TFbDatabase *m_database = nullptr;
    TFbTransaction *m_transaction = nullptr;
    bool m_paramCheck = true;
    bool m_goToFirstRecord = true;
    TDbQueryOptions m_options = 0;

    TFbHandle m_handle = 0;
    bool m_prepared = false;
    bool m_open = false;
    bool m_bof = false;
    bool m_eof = false;
    bool m_procedureOutput = false;
    int m_rowsFetched = 0;
    TFbSQLTypes m_statementType = SQLUnknown;
    int m_statementKind = 0;
    std::string m_textToSend;
    bool m_hasParameters = false;
    bool m_encoded = false;
    std::string m_cursorName;

    TFbXSQLDA m_params;
    TFbXSQLDA m_result;
};

} // namespace db
