#include "FbClient.h"
#include "db/Component.h"
#include "db/FbErrors.h"

#include <gtest/gtest.h>

#include <thread>

using namespace db;

namespace {

TEST(FullComponentName, JoinsOwnersOutermostFirstAndSkipsNamelessOnes)
{
    TComponent form(nullptr, "Form1");
    TComponent panel(&form, "");
    TComponent query(&panel, "DbQuery1");
    EXPECT_EQ(FullComponentName(&query), "Form1.DbQuery1");
    EXPECT_EQ(FullComponentName(&form), "Form1");
    EXPECT_EQ(FullComponentName(nullptr), "");
}

struct ClientErrorCase {
    int number;
    std::vector<TFormatArg> args;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const ClientErrorCase &row)
{
    return out << "client error " << row.number;
}

class ClientErrorMessages : public testing::TestWithParam<ClientErrorCase> {};

TEST_P(ClientErrorMessages, FormatTheNumberedTextAsTheWholeMessage)
{
    const ClientErrorCase &row = GetParam();
    try {
        RaiseClientError(row.number, row.args);
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), row.expected);
        EXPECT_STREQ(error.what(), row.expected.c_str());
        EXPECT_EQ(error.ClientText(), row.expected);
        EXPECT_EQ(error.SQLCode(), row.number);
        EXPECT_EQ(error.SenderName(), "");
        EXPECT_EQ(error.Sender(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClientErrorMessages,
    testing::Values(
        ClientErrorCase{0, {}, "Unknown error."},
        ClientErrorCase{8, {"journal"}, "DPB Constant (isc_dpb_journal) is unsupported."},
        ClientErrorCase{12,
                        {"Form1.DbDatabase1"},
                        "Form1.DbDatabase1: Cannot perform operation -- DB is not open."},
        ClientErrorCase{
            15, {"Form1.DbTransaction1"}, "Form1.DbTransaction1 :Transaction is not active."},
        ClientErrorCase{30, {580LL}, "Unknown SQL Data type (580)."},
        ClientErrorCase{38, {}, "Can't \"open\" a non-select statement. Use ExecQuery."},
        ClientErrorCase{51,
                        {"DbQuery1", "Token unknown"},
                        "SQL Parse Error in :DbQuery1 \r\n\r\nToken unknown"},
        ClientErrorCase{55, {5LL, 255LL}, "Windows API error. (Windows error 5 [$000000ff])"},
        ClientErrorCase{58,
                        {},
                        "Can't end a shared transaction unless it is forced and equal to the "
                        "transaction's TimeoutAction."},
        ClientErrorCase{78,
                        {"isc_dsql_batch_execute"},
                        "isc_dsql_batch_execute is an Firebird 2 function. Please upgrade to "
                        "Firebird 2 to use this functonality"}));

TEST(ClientErrors, TableHoldsSeventyNineTexts)
{
    EXPECT_STREQ(ClientErrorTexts[0], "Unknown error.");
    EXPECT_STREQ(ClientErrorTexts[61], "SQL Dialect invalid");
    EXPECT_STREQ(ClientErrorTexts[kClientErrorCount - 1],
                 "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this "
                 "functonality");
}

TEST(ClientErrors, FreeTextErrorCarriesSqlCodeMinusOne)
{
    try {
        RaiseClientErrorText("%s: Field %s not found", {"Form1.tbl", "BOOKID"});
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), "Form1.tbl: Field BOOKID not found");
        EXPECT_EQ(error.SQLCode(), -1);
    }
}

TEST(ClientErrors, ErrorBeforeAnyApiCallCarriesErrorCodeZero)
{
    // A new thread has a status vector of its own that no call has touched.
    std::int32_t errorCode = -1;
    std::thread([&errorCode] {
        try {
            RaiseClientError(fceDatabaseNameMissing);
        } catch (const EFbClientError &error) {
            errorCode = error.ErrorCode();
        }
    }).join();
    EXPECT_EQ(errorCode, 0);
}

TEST(ClientErrors, ErrorCodeIsLeftOverFromTheThreadsLastCall)
{
    StatusVector()[1] = 335544344;
    try {
        RaiseClientError(fceDatabaseNameMissing);
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.ErrorCode(), 335544344);
    }
    StatusVector()[1] = 0;
}

TEST(FbError, SettingClientTextRecomposesTheMessage)
{
    TFbErrorFields fields;
    fields.SenderName = "Form1.DbQuery1";
    fields.SQLMessage = "Deadlock.\r\n";
    fields.ServerMessage = "Lock conflict.\r\n";
    EFbServerError error(fields);
    EXPECT_EQ(error.Message(), "Form1.DbQuery1:\r\nDeadlock.\r\nLock conflict.\r\n");
    error.SetClientText("Row skipped.");
    EXPECT_EQ(error.Message(), "Form1.DbQuery1:\r\nDeadlock.\r\nLock conflict.\r\nRow skipped.");
}

TEST(FbError, OneLetterSenderNameIsNotShown)
{
    TFbErrorFields fields;
    fields.SenderName = "Q";
    fields.ServerMessage = "Lock conflict.\r\n";
    EXPECT_EQ(EFbServerError(fields).Message(), "Lock conflict.\r\n");
}

TEST(FbError, MessagePartsLeaveOutWhatIsExcluded)
{
    TFbErrorFields fields;
    fields.SenderName = "Form1.DbQuery1";
    fields.SQLMessage = "Deadlock.\r\n";
    fields.ServerMessage = "Lock conflict.\r\n";
    SetErrorMessageParts(emServerMessages);
    const std::string message = EFbServerError(fields).Message();
    SetErrorMessageParts(kAllErrorMessageParts);
    EXPECT_EQ(message, "Lock conflict.\r\n");
}

struct FormatCase {
    std::string_view format;
    std::vector<TFormatArg> args;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const FormatCase &row)
{
    return out << row.format;
}

class FormatTextCases : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextCases, FormatsLikePrintf)
{
    EXPECT_EQ(FormatText(GetParam().format, GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatTextCases,
    testing::Values(FormatCase{"100%% of %s", {"rows"}, "100% of rows"},
                    FormatCase{"%d rows, %5d, %-3d|", {7LL, 42LL, 1LL}, "7 rows,    42, 1  |"},
                    FormatCase{"[$%.8x]", {3735928559LL}, "[$deadbeef]"},
                    FormatCase{"%s and %s", {"one"}, "one and "},
                    FormatCase{"trailing %", {}, "trailing %"},
                    FormatCase{"%q stays", {}, "%q stays"}));

} // namespace
