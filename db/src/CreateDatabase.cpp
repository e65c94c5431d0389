#include "db/CreateDatabase.h"

#include "FbClient.h"

#include "db/Strings.h"

#include <limits>
#include <string_view>

namespace db {
namespace {

constexpr unsigned short kDialect = 3;

} // namespace

void CreateDatabase(const std::string &path, const std::string &user, const std::string &password)
{
    const std::shared_ptr<IFbClientLibrary> library = AcquireClientLibrary(kDefaultLibraryName);
    const std::string statement = "CREATE DATABASE " + SqlStringLiteral(path) + " USER " +
                                  SqlStringLiteral(user) + " PASSWORD " +
                                  SqlStringLiteral(password) + " DEFAULT CHARACTER SET NONE";
    // A text too long for the API's 16-bit length goes as a terminated string.
    const auto length = statement.size() <= std::numeric_limits<unsigned short>::max()
                            ? static_cast<unsigned short>(statement.size())
                            : static_cast<unsigned short>(0);
    // Without a connection the statement creates the file and attaches to it.
    isc_db_handle handle = 0;
    isc_tr_handle transaction = 0;
    if (library->isc_dsql_execute_immediate(StatusVector(), &handle, &transaction, length,
                                            statement.c_str(), kDialect, nullptr) != 0)
        RaiseServerError(*library, nullptr);
    if (library->isc_detach_database(StatusVector(), &handle) != 0)
        RaiseServerError(*library, nullptr);
}

} // namespace db
