#pragma once
// Field objects of a dataset: one per result column, of the class that the
// column's type calls for. A field reads its value from a row of the
// dataset's record cache, where the value was stored once at fetch time,
// and renders it as text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace db {

class TFbDataSet;

enum TFieldType {
    ftUnknown,
    ftString,
    ftWideString,
    ftGuid,
    ftSmallint,
    ftInteger,
    ftLargeint,
    ftBoolean,
    ftFloat,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftMemo,
    ftBlob,
    ftBytes,
};

/// A date-time as days since 30 December 1899, the fraction being the time.
struct TDateTimeValue {
    double days = 0;
    bool operator==(const TDateTimeValue &) const = default;
};

/// A field's value in its natural type: NULL, text, integer, floating
/// point, boolean or date-time.
using TFieldValue =
    std::variant<std::monostate, std::string, std::int64_t, double, bool, TDateTimeValue>;

/// How a column's value is kept in a cached row.
struct TFbColumnLayout {
    int column = 0;    ///< position in the statement's result area
    short sqlType = 0; ///< without the null bit
    short scale = 0;
    short subType = 0;
    int size = 0; ///< declared bytes of a text, else the value's bytes
    bool nullable = false;
    bool dbKey = false; ///< the RDB$DB_KEY column
    bool guid = false;
    bool outOfLine = false;     ///< a long text kept in the cache's text store
    bool int64AsDouble = false; ///< an INT64 of scale below -4, stored scaled
    int nullOffset = 0;         ///< of the null flag within the row
    int valueOffset = 0;
};

/// One column's definition, built when the dataset is prepared.
struct TFieldDef {
    std::string name;
    TFieldType dataType = ftUnknown;
    int size = 0;
    int fieldNo = 0;    ///< 1-based column number
    std::string origin; ///< table and column, "TABLE.COLUMN", when known
    TFbColumnLayout layout;
};

class TField {
public:
    TField(TFbDataSet &dataSet, const TFieldDef &def);
    virtual ~TField() = default;
    TField(const TField &) = delete;
    TField &operator=(const TField &) = delete;

    const std::string &FieldName() const { return m_def.name; }
    TFieldType DataType() const { return m_def.dataType; }
    int Size() const { return m_def.size; }
    int FieldNo() const { return m_def.fieldNo; }
    const std::string &Origin() const { return m_def.origin; }
    TFbDataSet &DataSet() const { return m_dataSet; }

    // The current row: the dataset's record buffer, or the row under test
    // while a filter tests one. Without a current row the field is NULL.
    bool IsNull() const;
    /// Empty for NULL.
    std::string AsText() const;
    TFieldValue Value() const;

    // Any cached row, by its 0-based index in the record cache (an index
    // outside the cache reads as NULL).
    bool IsNullAt(int row) const;
    std::string TextAt(int row) const;
    TFieldValue ValueAt(int row) const;

protected:
    /// Where the value lies in a cached row: the field classes' business alone.
    const TFbColumnLayout &Layout() const { return m_def.layout; }
    /// The row's text in the database's encoding, shared by every text class:
    /// out-of-line text, or inline bytes up to the first zero byte, with
    /// trailing blanks trimmed under poTrimCharFields.
    std::string_view storedText(const std::byte *row) const;
    const std::byte *valueOf(const std::byte *row) const { return row + m_def.layout.valueOffset; }
    template <typename T> T stored(const std::byte *row) const;

    // Called only for a cached row whose value is not NULL.
    virtual std::string text(const std::byte *row) const = 0;
    virtual TFieldValue value(const std::byte *row) const = 0;

private:
    const std::byte *cachedRow(int row) const;

    TFbDataSet &m_dataSet;
    TFieldDef m_def;
};

class TFbStringField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbWideStringField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbGuidField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

/// SMALLINT and INTEGER of scale 0.
class TFbIntegerField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
    std::int64_t integer(const std::byte *row) const;
};

class TFbSmallIntField : public TFbIntegerField {
public:
    using TFbIntegerField::TFbIntegerField;
};

class TFbLargeIntField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbBooleanField : public TFbIntegerField {
public:
    using TFbIntegerField::TFbIntegerField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

/// DOUBLE, FLOAT, scaled INTEGER and SMALLINT, and INT64 of scale below -4.
class TFbFloatField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
    double number(const std::byte *row) const;
};

/// INT64: of size 0 the plain integer, of size n a decimal with n fraction digits.
class TFbBCDField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbDateField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbTimeField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbDateTimeField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

/// A BLOB, read from the server by its identifier when its text is asked for.
class TFbBlobField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

class TFbMemoField : public TFbBlobField {
public:
    using TFbBlobField::TFbBlobField;
};

class TFbArrayField : public TField {
public:
    using TField::TField;

protected:
    std::string text(const std::byte *row) const override;
    TFieldValue value(const std::byte *row) const override;
};

} // namespace db
