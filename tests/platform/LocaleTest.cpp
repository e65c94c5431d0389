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
