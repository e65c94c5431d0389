#include "platform/Profile.h"
#include "platform/FileSystem.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace platform;
using testing_support::TempFolder;

namespace {

struct ReadCase {
    const char *name;
    std::string file; // content of settings.ini; "<none>" for no file
    std::string key;
    std::string text; // readString with default "dflt"
    int32_t integer;  // readInteger with default 42
    bool boolean;     // readBool with default true
};

std::ostream &operator<<(std::ostream &out, const ReadCase &row)
{
    return out << row.name;
}

class ProfileRead : public testing::TestWithParam<ReadCase> {
protected:
    TempFolder m_temp;
};

TEST_P(ProfileRead, FollowsTheProfileRules)
{
    const auto &row = GetParam();
    if (row.file != "<none>")
        m_temp.write("settings.ini", row.file);
    ProfileFile profile(m_temp.program("settings.ini"));
    EXPECT_EQ(profile.readString("Compare", row.key, "dflt"), row.text);
    EXPECT_EQ(profile.readInteger("Compare", row.key, 42), row.integer);
    EXPECT_EQ(profile.readBool("Compare", row.key, true), row.boolean);
}

const std::string kLong(3000, 'v');

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileRead,
    testing::Values(
        ReadCase{"missing_file", "<none>", "K", "dflt", 42, true},
        ReadCase{"missing_section", "[Other]\nK=7\n", "K", "dflt", 42, true},
        ReadCase{"missing_key", "[Compare]\nX=7\n", "K", "dflt", 42, true},
        ReadCase{"decimal", "[Compare]\nK=7\n", "K", "7", 7, true},
        ReadCase{"negative", "[Compare]\nK=-5\n", "K", "-5", -5, true},
        ReadCase{"zero_is_false", "[Compare]\nK=0\n", "K", "0", 0, false},
        ReadCase{"not_a_number", "[Compare]\nK=abc\n", "K", "abc", 42, true},
        ReadCase{"yes_is_not_a_number", "[Compare]\nK=yes\n", "K", "yes", 42, true},
        ReadCase{"digits_then_text", "[Compare]\nK=12abc\n", "K", "12abc", 42, true},
        ReadCase{"empty_value", "[Compare]\nK=\n", "K", "", 42, true},
        ReadCase{"hex_0x", "[Compare]\nK=0x1\n", "K", "0x1", 1, true},
        ReadCase{"hex_0X_long", "[Compare]\nK=0X1f\n", "K", "0X1f", 31, true},
        ReadCase{"bare_0x", "[Compare]\nK=0x\n", "K", "0x", 42, true},
        ReadCase{"hex_dollar", "[Compare]\nK=$1F\n", "K", "$1F", 31, true},
        ReadCase{"hex_full_pattern", "[Compare]\nK=$FFFFFFFF\n", "K", "$FFFFFFFF", -1, true},
        ReadCase{"out_of_range", "[Compare]\nK=3000000000\n", "K", "3000000000", 42, true},
        ReadCase{"double_sign", "[Compare]\nK=--5\n", "K", "--5", 42, true},
        ReadCase{"blanks_trimmed", "[Compare]\n  K  =   7  \n", "K", "7", 7, true},
        ReadCase{"double_quotes", "[Compare]\nK=\" 5 \"\n", "K", " 5 ", 5, true},
        ReadCase{"single_quotes", "[Compare]\nK='D:\\Moved'\n", "K", "D:\\Moved", 42, true},
        ReadCase{"unmatched_quotes", "[Compare]\nK=\"abc'\n", "K", "\"abc'", 42, true},
        ReadCase{"one_pair_only", "[Compare]\nK=\"\"x\"\"\n", "K", "\"x\"", 42, true},
        ReadCase{"section_other_case", "[compare]\nK=7\n", "K", "7", 7, true},
        ReadCase{"key_other_case", "[Compare]\nmovefiles=0\n", "MOVEFILES", "0", 0, false},
        ReadCase{"section_blanks", "  [ Compare ]  \nK=7\n", "K", "7", 7, true},
        ReadCase{"crlf", "[Compare]\r\nK=7\r\n", "K", "7", 7, true},
        ReadCase{"carriage_return_without_line_feed", "[Compare]\nK=7\r", "K", "7", 7, true},
        ReadCase{"first_key_wins", "[Compare]\nK=1\nK=2\n", "K", "1", 1, true},
        ReadCase{"stops_at_next_section", "[Compare]\n[Next]\nK=1\n", "K", "dflt", 42, true},
        ReadCase{"cyrillic_value", "[Compare]\nK=\xCA\xED\xE8\xE3\xE8\n", "K",
                 "\xCA\xED\xE8\xE3\xE8", 42, true},
        ReadCase{"long_value_cut", "[Compare]\nK=" + kLong + "\n", "K", kLong.substr(0, 2047), 42,
                 true}),
    [](const auto &row) { return std::string(row.param.name); });

struct WriteCase {
    const char *name;
    std::string before; // "<none>" for no file
    std::string key, value;
    std::string after;
};

std::ostream &operator<<(std::ostream &out, const WriteCase &row)
{
    return out << row.name;
}

class ProfileWrite : public testing::TestWithParam<WriteCase> {
protected:
    TempFolder m_temp;
};

TEST_P(ProfileWrite, ChangesOnlyTheKeysValue)
{
    const auto &row = GetParam();
    if (row.before != "<none>")
        m_temp.write("settings.ini", row.before);
    ProfileFile profile(m_temp.program("settings.ini"));
    ASSERT_TRUE(profile.writeString("Compare", row.key, row.value));
    EXPECT_EQ(readWholeFile(m_temp.program("settings.ini")), row.after);
    EXPECT_EQ(profile.readString("Compare", row.key, "dflt"), row.value);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileWrite,
    testing::Values(
        WriteCase{"new_file_uses_crlf", "<none>", "MoveFiles", "1", "[Compare]\r\nMoveFiles=1\r\n"},
        WriteCase{"replace_keeps_crlf_and_other_lines",
                  "; mine\r\n[Common]\r\nX = 1\r\n\r\n[COMPARE]\r\n movefiles = 0 \r\nY=\"q\"\r\n",
                  "MoveFiles", "1",
                  "; mine\r\n[Common]\r\nX = 1\r\n\r\n[COMPARE]\r\n movefiles =1\r\nY=\"q\"\r\n"},
        WriteCase{"new_key_after_sections_last_line", "[Compare]\nA=1\n\n[Other]\nB=2\n", "C", "3",
                  "[Compare]\nA=1\nC=3\n\n[Other]\nB=2\n"},
        WriteCase{"new_section_at_end", "[Other]\nB=2\n", "C", "3",
                  "[Other]\nB=2\n[Compare]\nC=3\n"},
        WriteCase{"last_line_without_end", "[Compare]\nA=1", "C", "3", "[Compare]\nA=1\nC=3\n"},
        WriteCase{"untouched_last_line_without_end", "[Compare]\nA=1\n[Other]\nB=2", "A", "5",
                  "[Compare]\nA=5\n[Other]\nB=2"},
        WriteCase{"last_line_ends_in_carriage_return", "[Other]\r\nB=2\r", "C", "3",
                  "[Other]\r\nB=2\r\r\n[Compare]\r\nC=3\r\n"},
        WriteCase{"empty_value", "[Compare]\nMoveTo=D:\\Moved\n", "MoveTo", "",
                  "[Compare]\nMoveTo=\n"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(ProfileWriteFailure, ReadOnlyFileIsReportedAndKept)
{
    TempFolder temp;
    temp.write("settings.ini", "[Compare]\nA=1\n");
    ASSERT_TRUE(setReadOnly(temp.program("settings.ini"), true));
    ProfileFile profile(temp.program("settings.ini"));
    EXPECT_FALSE(profile.writeInteger("Compare", "A", 2));
    EXPECT_EQ(profile.readInteger("Compare", "A", 0), 1);
}

TEST(ProfileWriteFailure, MissingFolderIsReported)
{
    TempFolder temp;
    ProfileFile profile(temp.program("none\\settings.ini"));
    EXPECT_FALSE(profile.writeBool("Compare", "A", true));
}

} // namespace
