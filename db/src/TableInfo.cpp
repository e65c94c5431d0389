#include "TableInfo.h"

#include "db/FbQuery.h"

#include "platform/Text.h"

#include <mutex>

namespace db {

namespace {

std::string cleanName(std::string_view name)
{
    std::string result;
    for (char c : name)
        if (c != '"')
            result += c;
    const auto first = result.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return result.substr(first, result.find_last_not_of(' ') + 1 - first);
}

std::string trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

const char *const kColumnsQuery =
    "SELECT R.RDB$FIELD_NAME, R.RDB$FIELD_SOURCE, "
    "CASE WHEN F.RDB$COMPUTED_BLR IS NULL THEN 0 ELSE 1 END, "
    "R.RDB$DEFAULT_SOURCE, F.RDB$DEFAULT_SOURCE, F.RDB$FIELD_TYPE, F.RDB$CHARACTER_SET_ID "
    "FROM RDB$RELATION_FIELDS R JOIN RDB$FIELDS F ON R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME "
    "WHERE R.RDB$RELATION_NAME = :TN ORDER BY R.RDB$FIELD_POSITION";

const char *const kFormatQuery =
    "SELECT RDB$FORMAT FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :TN";

const char *const kProcedureQuery =
    "SELECT P.RDB$PARAMETER_NAME, P.RDB$FIELD_SOURCE, 0, "
    "CAST(NULL AS VARCHAR(1)), F.RDB$DEFAULT_SOURCE, F.RDB$FIELD_TYPE, F.RDB$CHARACTER_SET_ID "
    "FROM RDB$PROCEDURE_PARAMETERS P JOIN RDB$FIELDS F ON P.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME "
    "WHERE P.RDB$PROCEDURE_NAME = :TN AND P.RDB$PARAMETER_TYPE = 1 "
    "ORDER BY P.RDB$PARAMETER_NUMBER";

void readColumns(TFbQuery &query, std::string_view text, const std::string &table,
                 TDbTableInfo &info)
{
    query.SQL().SetText(text);
    query.Prepare();
    query.ParamNamed("TN").SetAsText(table);
    query.ExecQuery();
    for (const TFbXSQLDA *row = query.Eof() ? nullptr : &query.Current(); row != nullptr;
         row = query.Next()) {
        TDbFieldInfo field;
        field.name = trimmed(query.Column(0).AsText());
        field.domainName = trimmed(query.Column(1).AsText());
        field.computed = query.Column(2).AsInt64() != 0;
        field.defaultSource = query.Column(3).AsText();
        if (field.defaultSource.empty())
            field.defaultSource = query.Column(4).AsText();
        field.fieldType = static_cast<int>(query.Column(5).AsInt64());
        field.charsetId = static_cast<int>(query.Column(6).AsInt64());
        info.fields.push_back(std::move(field));
    }
    query.Close();
}

std::unique_ptr<TDbTableInfo> load(TFbDatabase &database, TFbTransaction &transaction,
                                   const std::string &table)
{
    auto info = std::make_unique<TDbTableInfo>();
    info->tableName = table;
    TFbQuery query(&database, "TableInfoQuery");
    query.SetDatabase(&database);
    query.SetTransaction(&transaction);
    readColumns(query, kColumnsQuery, table, *info);
    if (info->fields.empty()) {
        readColumns(query, kProcedureQuery, table, *info);
    } else {
        query.SQL().SetText(kFormatQuery);
        query.Prepare();
        query.ParamNamed("TN").SetAsText(table);
        query.ExecQuery();
        if (!query.Eof())
            info->formatNumber = static_cast<int>(query.Column(0).AsInt64());
        query.Close();
    }
    return info;
}

} // namespace

TDbFieldInfo *TDbTableInfo::FieldInfo(std::string_view name)
{
    const std::string wanted = cleanName(name);
    for (TDbFieldInfo &field : fields)
        if (platform::sameTextInsensitive(field.name, wanted))
            return &field;
    return nullptr;
}

TDbTableInfoCollect &TDbTableInfoCollect::Instance()
{
    static TDbTableInfoCollect instance;
    return instance;
}

TDbTableInfo &TDbTableInfoCollect::TableInfo(TFbDatabase &database, TFbTransaction *transaction,
                                             std::string_view tableName)
{
    const std::string table = cleanName(tableName);
    const std::string key = database.DBName() + '\n' + table;
    {
        std::shared_lock lock(m_lock);
        const auto found = m_tables.find(key);
        if (found != m_tables.end())
            return *found->second;
    }
    std::unique_ptr<TDbTableInfo> info;
    if (transaction != nullptr && transaction->Active()) {
        info = load(database, *transaction, table);
    } else {
        TFbTransaction reader(&database, "TableInfoTransaction");
        reader.SetTRParams({"read", "read_committed", "rec_version", "nowait"});
        reader.SetDefaultDatabase(&database);
        reader.StartTransaction();
        try {
            info = load(database, reader, table);
        } catch (...) {
            reader.EndTransaction(TARollback, true);
            throw;
        }
        reader.Commit();
    }
    std::unique_lock lock(m_lock);
    ++m_loads;
    auto &slot = m_tables[key];
    if (!slot)
        slot = std::move(info);
    return *slot;
}

bool TDbTableInfoCollect::IsBooleanColumn(TFbDatabase &database, TFbTransaction *transaction,
                                          std::string_view tableName, std::string_view columnName)
{
    TDbTableInfo &table = TableInfo(database, transaction, tableName);
    std::unique_lock lock(m_lock);
    TDbFieldInfo *field = table.FieldInfo(columnName);
    if (field == nullptr)
        return false;
    if (!field->isBoolean)
        field->isBoolean =
            platform::upperAnsi(field->domainName).find("BOOLEAN") != std::string::npos;
    return *field->isBoolean;
}

} // namespace db
