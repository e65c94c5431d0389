#pragma once
// Column information of tables, read from the system tables once per
// database and table for the whole process: the domain of each column and
// its default source. The boolean rule of the datasets asks it whether a
// column's domain marks it as a flag.

#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class TFbDatabase;
class TFbTransaction;

struct TDbFieldInfo {
    std::string name;
    std::string domainName; ///< RDB$FIELD_SOURCE
    std::string defaultSource;
    bool computed = false;
    int charsetId = 0;
    int fieldType = 0;
    std::optional<bool> isBoolean; ///< decided when first asked
};

struct TDbTableInfo {
    std::string tableName;
    int formatNumber = 0;
    std::vector<TDbFieldInfo> fields;

    /// Found by name, double quotes removed, trimmed, letter case ignored.
    TDbFieldInfo *FieldInfo(std::string_view name);
};

class TDbTableInfoCollect {
public:
    /// The one instance of the process.
    static TDbTableInfoCollect &Instance();

    /// The table's information, loaded on first use in `transaction` when
    /// it is active, else in a private read-only transaction. Errors of
    /// the queries propagate.
    TDbTableInfo &TableInfo(TFbDatabase &database, TFbTransaction *transaction,
                            std::string_view tableName);

    /// Whether the column's domain name contains BOOLEAN (any case).
    bool IsBooleanColumn(TFbDatabase &database, TFbTransaction *transaction,
                         std::string_view tableName, std::string_view columnName);

    /// How often a table's information was read from the server.
    int LoadCount() const { return m_loads; }

private:
    std::shared_mutex m_lock;
    std::map<std::string, std::unique_ptr<TDbTableInfo>> m_tables;
    int m_loads = 0;
};

} // namespace db
