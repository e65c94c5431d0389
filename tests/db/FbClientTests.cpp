#include "FbClient.h"
#include "Internals.h"
#include "TestSupport.h"
#include "db/DbDatabase.h"
#include "db/FbErrors.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace db;

namespace {

TEST(ClientBinding, RealLibraryReportsItsOwnVersion)
{
    // This client calls itself version 6.3, as its version text LI-V6.3... says.
    const auto library = AcquireClientLibrary(kDefaultLibraryName);
    EXPECT_EQ(library->LibraryName(), "libfbclient.so.2");
    EXPECT_EQ(library->ClientMajorVersion(), 6);
    EXPECT_EQ(library->ClientMinorVersion(), 3);
}

TEST(ClientBinding, SameNameSharesOneBindingOtherSpellingLoadsAgain)
{
    const auto first = AcquireClientLibrary(DORVIL_DOUBLE_LEVEL6);
    const auto second = AcquireClientLibrary(DORVIL_DOUBLE_LEVEL6);
    EXPECT_EQ(first.get(), second.get());
    const std::filesystem::path path(DORVIL_DOUBLE_LEVEL6);
    const std::string otherSpelling = (path.parent_path() / "." / path.filename()).string();
    const auto third = AcquireClientLibrary(otherSpelling);
    EXPECT_NE(third.get(), first.get());
    EXPECT_EQ(third->LibraryName(), otherSpelling);
}

TEST(ClientBinding, MissingFileCannotBeLoadedAndIsTriedAgainNextTime)
{
    dbtest::TempFolder folder;
    const std::string name = (folder.native() / "libclient-later.so").string();
    EXPECT_EQ(dbtest::messageOf<std::exception>([&] { AcquireClientLibrary(name); }),
              "Can't load library " + name + " ");
    std::filesystem::copy_file(DORVIL_DOUBLE_LEVEL5, name);
    EXPECT_EQ(AcquireClientLibrary(name)->LibraryName(), name);
}

TEST(ClientBinding, LibraryWithoutRollbackRetainingIsLevelFive)
{
    const auto library = AcquireClientLibrary(DORVIL_DOUBLE_LEVEL5);
    EXPECT_EQ(library->ClientMajorVersion(), 5);
    EXPECT_EQ(library->ClientMinorVersion(), 0);
    isc_tr_handle transaction = 1;
    EXPECT_EQ(dbtest::messageOf<std::exception>(
                  [&] { library->isc_rollback_retaining(StatusVector(), &transaction); }),
              std::string("Can't find procedure isc_rollback_retaining in ") +
                  DORVIL_DOUBLE_LEVEL5);
    EXPECT_EQ(dbtest::messageOf<std::exception>(
                  [&] { library->isc_service_attach(StatusVector(), 0, "", nullptr, 0, ""); }),
              std::string("Can't find procedure isc_service_attach in ") + DORVIL_DOUBLE_LEVEL5);
}

TEST(ClientBinding, LibraryWithRollbackRetainingIsLevelSix)
{
    const auto library = AcquireClientLibrary(DORVIL_DOUBLE_LEVEL6);
    EXPECT_EQ(library->ClientMajorVersion(), 6);
    isc_tr_handle transaction = 1;
    EXPECT_EQ(library->isc_rollback_retaining(StatusVector(), &transaction), 0);
}

TEST(ClientBinding, EntryPointsThatAreNeverResolvedAlwaysFail)
{
    const auto library = AcquireClientLibrary(kDefaultLibraryName);
    isc_blob_handle blob = 0;
    EXPECT_EQ(
        dbtest::messageOf<std::exception>([&] { library->isc_cancel_blob(StatusVector(), &blob); }),
        "Can't find procedure isc_cancel_blob in libfbclient.so.2");
}

TEST(ClientBinding, MissingRequiredEntryIsTheSystemsError)
{
    try {
        AcquireClientLibrary(DORVIL_DOUBLE_MISSING);
        FAIL() << "no exception";
    } catch (const EOSError &error) {
        EXPECT_EQ(error.ErrorCode(), 127);
        const std::string prefix = "System Error.  Code: 127.\r\n";
        const std::string message = error.what();
        EXPECT_EQ(message.substr(0, prefix.size()), prefix);
        // The loader's own text names what it could not find.
        EXPECT_NE(message.find("isc_transaction_info"), std::string::npos) << message;
    }
    // Nothing was registered: the next attempt loads again and fails again.
    EXPECT_THROW(AcquireClientLibrary(DORVIL_DOUBLE_MISSING), EOSError);
}

TEST(ClientBinding, RetainingRollbackOnALevelFiveClientNamesTheMissingProcedure)
{
    dbtest::Form1 form("/nowhere/catalogue.fdb");
    form.database.SetLibraryName(DORVIL_DOUBLE_LEVEL5);
    // The stand-in answers no SQL, so the server clock cannot be asked.
    form.database.SetSynchronizeTime(false);
    form.database.SetConnected(true);
    form.transaction.StartTransaction();
    EXPECT_EQ(dbtest::messageOf<std::exception>([&] { form.transaction.RollbackRetaining(); }),
              std::string("Can't find procedure isc_rollback_retaining in ") +
                  DORVIL_DOUBLE_LEVEL5);
    EXPECT_TRUE(form.transaction.Active());
    EXPECT_EQ(form.transaction.TransactionState(), tsActive);
    form.transaction.Rollback();
    EXPECT_FALSE(form.transaction.Active());
}

TEST(ClientBinding, ConnectionsNamingOneLibraryShareItsBinding)
{
    dbtest::Form1 first("/nowhere/a.fdb");
    dbtest::Form1 second("/nowhere/b.fdb");
    first.database.SetLibraryName(DORVIL_DOUBLE_LEVEL6);
    second.database.SetLibraryName(DORVIL_DOUBLE_LEVEL6);
    first.database.SetSynchronizeTime(false);
    second.database.SetSynchronizeTime(false);
    first.database.SetConnected(true);
    second.database.SetConnected(true);
    EXPECT_EQ(db::detail::Internals::clientLibrary(first.database),
              db::detail::Internals::clientLibrary(second.database));
}

TEST(ClientBinding, LoadFailureReachesTheConnectUnchanged)
{
    dbtest::Form1 form("/nowhere/a.fdb");
    form.database.SetLibraryName("libno-such-client.so");
    EXPECT_EQ(dbtest::messageOf<std::exception>([&] { form.database.SetConnected(true); }),
              "Can't load library libno-such-client.so ");
    EXPECT_FALSE(form.database.Connected());
}

// Composition of a server error's message, with texts the test chooses.
struct CompositionCase {
    std::string name;
    std::string sqlText;
    std::vector<const char *> lines;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const CompositionCase &row)
{
    return out << row.name;
}

class ServerErrorComposition : public testing::TestWithParam<CompositionCase> {
protected:
    void SetUp() override
    {
        m_library = AcquireClientLibrary(DORVIL_DOUBLE_LEVEL6);
        m_module = platform::DynamicLibrary::load(DORVIL_DOUBLE_LEVEL6);
        ASSERT_TRUE(m_module);
        m_setTexts = reinterpret_cast<SetTexts *>(m_module->symbol("double_set_error_texts"));
        ASSERT_NE(m_setTexts, nullptr);
    }

    using SetTexts = void(std::int32_t, const char *, const char *const *, int);
    std::shared_ptr<IFbClientLibrary> m_library;
    std::optional<platform::DynamicLibrary> m_module;
    SetTexts *m_setTexts = nullptr;
};

TEST_P(ServerErrorComposition, FollowsTheLineRules)
{
    const CompositionCase &row = GetParam();
    m_setTexts(-913, row.sqlText.c_str(), row.lines.data(), static_cast<int>(row.lines.size()));
    TComponent form(nullptr, "Form1");
    TComponent query(&form, "DbQuery1");
    ISC_STATUS *status = StatusVector();
    status[0] = isc_arg_gds;
    status[1] = 335544336;
    status[2] = isc_arg_end;
    try {
        RaiseServerError(*m_library, &query);
        FAIL() << "no exception";
    } catch (const EFbServerError &error) {
        EXPECT_EQ(error.Message(), row.expected);
        EXPECT_EQ(error.SQLCode(), -913);
        EXPECT_EQ(error.ErrorCode(), 335544336);
        EXPECT_EQ(error.SenderName(), "Form1.DbQuery1");
        EXPECT_EQ(error.Sender(), &query);
        EXPECT_EQ(error.ClientText(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServerErrorComposition,
    testing::Values(
        CompositionCase{"plain texts",
                        "deadlock",
                        {"deadlock", "update conflicts with concurrent update"},
                        "Form1.DbQuery1:\r\nDeadlock.\r\nDeadlock.\r\nUpdate conflicts with "
                        "concurrent update.\r\n"},
        CompositionCase{
            "empty SQLCODE text", "", {"lock conflict"}, "Form1.DbQuery1:\r\nLock conflict.\r\n"},
        CompositionCase{"SQLCODE text ending with a period gets no line break",
                        "Deadlock.",
                        {"Lock conflict."},
                        "Form1.DbQuery1:\r\nDeadlock.Lock conflict.\r\n"},
        CompositionCase{"backslash-n pairs removed",
                        "attempt to store\\n duplicate value",
                        {"violation of PRIMARY or UNIQUE KEY"},
                        "Form1.DbQuery1:\r\nAttempt to store duplicate value.\r\nViolation of "
                        "PRIMARY or UNIQUE KEY.\r\n"},
        CompositionCase{"empty status lines skipped, capitals and digits kept",
                        "Already upper",
                        {"", "-Table BOOK", "1 row"},
                        "Form1.DbQuery1:\r\nAlready upper.\r\n-Table BOOK.\r\n1 row.\r\n"}));

} // namespace
