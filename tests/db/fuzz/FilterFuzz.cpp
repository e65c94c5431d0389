// Filter texts come from file names in the catalogue: whatever the text,
// setting it must give a parsed filter or one of the filter messages, and
// evaluating a parsed filter must not fail except through its own errors.

#include "FilterExpression.h"
#include "FilterLexer.h"
#include "db/FbErrors.h"
#include "platform/Text.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace db::filter;

// Four rows over fields of every kind the filter types differently.
class SampleRows : public FilterFields {
public:
    FieldRef fieldNamed(std::string_view name) override
    {
        for (size_t i = 0; i < kNames.size(); ++i)
            if (platform::sameTextInsensitive(kNames[i], name))
                return {int(i), kTypes[i], kNames[i] == std::string_view("CALC")};
        throw db::EDatabaseError("DbDataSet1: Field '" + std::string(name) + "' not found");
    }
    FilterValue fieldValue(int index) override { return m_rows[m_current][size_t(index)]; }
    void select(size_t row) { m_current = row; }
    size_t rowCount() const { return m_rows.size(); }

private:
    static constexpr std::array<const char *, 7> kNames = {"FILENAME", "BOOKID", "FLAG", "PRICE",
                                                           "ADDED",    "MEMO",   "CALC"};
    static constexpr std::array<ValueType, 7> kTypes = {
        ValueType::Text,     ValueType::Integer, ValueType::Boolean, ValueType::Float,
        ValueType::DateTime, ValueType::Memo,    ValueType::Integer};
    std::vector<std::vector<FilterValue>> m_rows = {
        {std::string("a.zip"), int64_t(1), true, 1.5, DateValue{45000.5}, std::string("m"),
         int64_t(0)},
        {std::monostate{}, int64_t(-7), false, 0.0, DateValue{0}, std::monostate{}, int64_t(1)},
        {std::string(""), int64_t(INT64_MAX), true, -1e300, DateValue{-700000}, std::string(""),
         int64_t(2)},
        {std::string("O'Brien.zip"), std::monostate{}, std::monostate{}, std::monostate{},
         std::monostate{}, std::string("x"), int64_t(3)}};
    size_t m_current = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t end = 0;
    try {
        scanStringLiteral("'" + text, 0, end);
    } catch (const FilterError &) {
    }
    std::string_view trimmed = platform::trimBlanks(text);
    if (trimmed.empty())
        return 0;
    SampleRows rows;
    std::optional<db::TExpressionParser> parser;
    try {
        parser.emplace(trimmed, data[0] & 3, rows);
    } catch (const db::EDatabaseError &error) {
        if (std::string(error.what()).rfind("Can't parse Filter for:\r\n", 0) != 0)
            std::abort();
        return 0;
    }
    for (size_t row = 0; row < rows.rowCount(); ++row) {
        rows.select(row);
        try {
            parser->Evaluate(rows);
        } catch (const db::EDatabaseError &) {
        }
    }
    return 0;
}
