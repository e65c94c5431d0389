#include "platform/Locale.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Picture {
    std::string format;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const Picture &row)
{
    return out << row.format;
}

class LocalePictures : public testing::TestWithParam<Picture> {};

TEST_P(LocalePictures, RenderTheirFields)
{
    DateTime when{2024, 3, 5, 14, 7, 9, 0};
    LocaleFormats formats{GetParam().format, GetParam().format, ','};
    EXPECT_EQ(formatDate(when, formats), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Locale, LocalePictures,
                         testing::Values(Picture{"dd.MM.yyyy", "05.03.2024"},
                                         Picture{"d.M.yy", "5.3.24"},
                                         Picture{"H:mm:ss", "14:07:09"},
                                         Picture{"hh:mm tt", "02:07 PM"},
                                         Picture{"yyyy-MM-dd'T'HH", "2024-03-05T14"}));

TEST(Locale, FixedFormatsReplaceTheUsersUntilReplacedAgain)
{
    LocaleFormats russian{"dd.MM.yyyy", "H:mm:ss", ','};
    setLocaleFormats(russian);
    EXPECT_EQ(localeFormats().shortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(localeFormats().decimalSeparator, ',');
    EXPECT_EQ(formatTime({2024, 1, 1, 9, 5, 0, 0}), "9:05:00");
}

} // namespace

namespace {

struct DateText {
    std::string format, text;
    bool valid;
    platform::DateTime expected;
};

std::ostream &operator<<(std::ostream &out, const DateText &row)
{
    return out << row.format << " / " << row.text;
}

class DateReading : public testing::TestWithParam<DateText> {};

TEST_P(DateReading, FollowsTheShortDateOrder)
{
    const auto &row = GetParam();
    auto read = platform::parseDateTime(row.text, {row.format, "H:mm:ss", ','});
    ASSERT_EQ(read.has_value(), row.valid);
    if (!row.valid)
        return;
    EXPECT_EQ(read->year, row.expected.year);
    EXPECT_EQ(read->month, row.expected.month);
    EXPECT_EQ(read->day, row.expected.day);
    EXPECT_EQ(read->hour, row.expected.hour);
    EXPECT_EQ(read->minute, row.expected.minute);
    EXPECT_EQ(read->second, row.expected.second);
}

INSTANTIATE_TEST_SUITE_P(
    Locale, DateReading,
    testing::Values(
        DateText{"dd.MM.yyyy", "05.03.2024", true, {2024, 3, 5, 0, 0, 0, 0}},
        DateText{"MM/dd/yy", "3/5/24", true, {2024, 3, 5, 0, 0, 0, 0}},
        DateText{"yyyy-MM-dd", "1999-12-31 23:59:58", true, {1999, 12, 31, 23, 59, 58, 0}},
        DateText{"dd.MM.yyyy", "1.1.75 9:05", true, {1975, 1, 1, 9, 5, 0, 0}},
        DateText{"dd.MM.yyyy", "29.02.2023", false, {}},
        DateText{"dd.MM.yyyy", "29.02.2024", true, {2024, 2, 29, 0, 0, 0, 0}},
        DateText{"dd.MM.yyyy", "12.2024", false, {}}, DateText{"dd.MM.yyyy", "abc", false, {}},
        DateText{"dd.MM.yyyy", "01.01.2024 25:00", false, {}},
        DateText{"dd.MM.yyyy", "01..2024", false, {}}, DateText{"dd.MM.yyyy", "", false, {}}));

} // namespace
