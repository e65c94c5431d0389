#include "FbParamBlocks.h"
#include "db/DbDatabase.h"
#include "db/FbErrors.h"

#include <gtest/gtest.h>

using namespace db;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string result;
    for (int value : values)
        result += static_cast<char>(value);
    return result;
}

std::string withText(std::string prefix, std::string_view text)
{
    return prefix + std::string(text);
}

struct BlockCase {
    std::string name;
    std::vector<std::string> lines;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const BlockCase &row)
{
    return out << row.name;
}

class DpbBuilding : public testing::TestWithParam<BlockCase> {};

TEST_P(DpbBuilding, GivesTheExpectedBytes)
{
    std::vector<std::string> lines = GetParam().lines;
    EXPECT_EQ(BuildDPB(lines), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DpbBuilding,
    testing::Values(
        BlockCase{"no lines", {}, bytes({1})},
        BlockCase{"the application's three lines",
                  {"user_name=SYSDBA", "password=pw", "sql_role_name="},
                  withText(withText(bytes({1, 28, 6}), "SYSDBA") + bytes({29, 2}), "pw") +
                      bytes({60, 0})},
        BlockCase{"prefixed upper-case name", {"ISC_DPB_PASSWORD=x"}, bytes({1, 29, 1, 'x'})},
        BlockCase{"spaces and empty lines trimmed away",
                  {"  ", "\t lc_ctype=WIN1251 \r", ""},
                  withText(bytes({1, 48, 7}), "WIN1251")},
        BlockCase{"value keeps inner blanks and further =",
                  {"password= a=b"},
                  bytes({1, 29, 4, ' ', 'a', '=', 'b'})},
        BlockCase{"line without = has an empty value", {"user_name"}, bytes({1, 28, 0})},
        BlockCase{"one-byte number", {"num_buffers=300"}, bytes({1, 5, 1, 300 & 0xFF})},
        BlockCase{"negative one-byte number", {"connect_timeout=-1"}, bytes({1, 57, 1, 0xFF})},
        BlockCase{
            "switch ignores its value", {"no_garbage_collect=anything"}, bytes({1, 16, 1, 0})},
        BlockCase{"sweep", {"sweep"}, bytes({1, 10, 1, 2})},
        BlockCase{"four-byte number low byte first",
                  {"sweep_interval=66051"},
                  bytes({1, 22, 4, 0x03, 0x02, 0x01, 0x00})},
        BlockCase{"dialect digit becomes its value", {"sql_dialect=3"}, bytes({1, 63, 1, 3})}));

struct DpbErrorCase {
    std::string name;
    std::vector<std::string> lines;
    std::string message;
};

std::ostream &operator<<(std::ostream &out, const DpbErrorCase &row)
{
    return out << row.name;
}

class DpbErrors : public testing::TestWithParam<DpbErrorCase> {};

TEST_P(DpbErrors, AreClientErrorsWithTheExactMessage)
{
    std::vector<std::string> lines = GetParam().lines;
    try {
        BuildDPB(lines);
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DpbErrors,
    testing::Values(
        DpbErrorCase{"unknown name",
                     {"user_name=a", "ISC_DPB_Colour=red"},
                     "DPB Constant (colour) is unknown."},
        DpbErrorCase{"known but unsupported",
                     {"page_size=8192"},
                     "DPB Constant (isc_dpb_page_size) is unsupported."},
        DpbErrorCase{
            "number expected", {"num_buffers=many"}, "'many' is not a valid integer value"},
        DpbErrorCase{"number with trailing text",
                     {"sweep_interval=12x"},
                     "'12x' is not a valid integer value"},
        DpbErrorCase{"dialect not a digit", {"sql_dialect=x"}, "'x' is not a valid integer value"},
        DpbErrorCase{"text longer than 255 bytes",
                     {"password=" + std::string(256, 's')},
                     "DPB Constant (password) value is longer than 255 bytes."}));

TEST(DpbBuilding, TrimmedLinesAreStoredBack)
{
    std::vector<std::string> lines = {"  user_name=A  ", "\t"};
    BuildDPB(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"user_name=A", ""}));
}

TEST(DpbBuilding, TextOfExactly255BytesFits)
{
    std::vector<std::string> lines = {"password=" + std::string(255, 'p')};
    EXPECT_EQ(BuildDPB(lines).size(), 3u + 255u);
}

class TpbBuilding : public testing::TestWithParam<BlockCase> {};

TEST_P(TpbBuilding, GivesTheExpectedBytes)
{
    std::vector<std::string> lines = GetParam().lines;
    EXPECT_EQ(BuildTPB(lines), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TpbBuilding,
    testing::Values(
        BlockCase{"no lines", {}, ""},
        BlockCase{"the application's four lines",
                  {"write", "isc_tpb_nowait", "read_committed", "rec_version"},
                  bytes({3, 9, 7, 15, 17})},
        BlockCase{"empty line adds nothing", {"write", "", "  ", "nowait"}, bytes({3, 9, 7})},
        BlockCase{
            "isc_tpb_write and write are the same", {"isc_tpb_write", "WRITE"}, bytes({3, 9, 9})},
        BlockCase{"only empty lines", {""}, bytes({3})},
        BlockCase{"table reservation",
                  {"protected", "lock_write=BOOK"},
                  withText(bytes({3, 4, 11, 4}), "BOOK")},
        BlockCase{"value of a plain name ignored", {"read=yes", "concurrency"}, bytes({3, 8, 2})}));

class TpbErrors : public testing::TestWithParam<DpbErrorCase> {};

TEST_P(TpbErrors, AreClientErrorsWithTheExactMessage)
{
    std::vector<std::string> lines = GetParam().lines;
    try {
        BuildTPB(lines);
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TpbErrors,
    testing::Values(
        DpbErrorCase{"unknown", {"write", "isc_tpb_dirty"}, "TPB Constant (dirty) is unknown."},
        DpbErrorCase{
            "unsupported", {"Commit_Time"}, "TPB Constant (isc_tpb_commit_time) is unsupported."},
        DpbErrorCase{"autocommit unsupported",
                     {"isc_tpb_autocommit"},
                     "TPB Constant (isc_tpb_autocommit) is unsupported."},
        DpbErrorCase{"long table name",
                     {"lock_read=" + std::string(256, 'T')},
                     "TPB Constant (lock_read) value is longer than 255 bytes."}));

// ConnectParams reads and writes lines of DBParams.
class ConnectParamsLines : public testing::Test {
protected:
    TDbDatabase database;
    TConnectParams &params = database.ConnectParams();
};

TEST_F(ConnectParamsLines, ReadTheValueOfTheFirstMatchingLine)
{
    database.SetDBParams({"sys_user_name=X", "isc_dpb_user_name=alice", "user_name=bob", "PASSWORD",
                          "lc_ctype=win1251"});
    EXPECT_EQ(params.UserName(), "alice");
    EXPECT_EQ(params.Password(), "");
    EXPECT_EQ(params.CharSet(), "win1251");
    EXPECT_EQ(params.RoleName(), "");
}

TEST_F(ConnectParamsLines, WritingReplacesOrAppends)
{
    database.SetDBParams({"isc_dpb_user_name=alice", "sql_role_name="});
    params.SetUserName("bob");
    params.SetPassword("secret");
    params.SetCharSet("win1251");
    EXPECT_EQ(database.DBParams(),
              (std::vector<std::string>{"user_name=bob", "sql_role_name=", "password=secret",
                                        "lc_ctype=WIN1251"}));
}

TEST_F(ConnectParamsLines, WritingEmptyDeletesTheLineAndItsDpbItem)
{
    database.SetDBParams({"user_name=a", "sql_role_name="});
    std::vector<std::string> lines = database.DBParams();
    EXPECT_EQ(BuildDPB(lines), bytes({1, 28, 1, 'a', 60, 0}));
    params.SetRoleName("");
    params.SetUserName("");
    EXPECT_TRUE(database.DBParams().empty());
    lines = database.DBParams();
    EXPECT_EQ(BuildDPB(lines), bytes({1}));
}

} // namespace
