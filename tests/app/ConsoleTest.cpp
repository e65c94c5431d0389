#include "Console.h"
#include "ProgressLine.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using app::ProgressLine;
using namespace std::chrono_literals;

TEST(ProgressLine, ShowsPercentageAndTimeLeftOrItemsDone)
{
    std::ostringstream out;
    ProgressLine line(out, true);
    const ProgressLine::Clock::time_point start{};
    line.start("compare", start);
    EXPECT_EQ(line.text(start + 5s), "compare: 0 log lines, 0:05 elapsed");
    line.setPercent(25, start + 30s);
    EXPECT_EQ(line.text(start + 30s), "compare: 25%, about 1:30 left");
    line.setPercent(100, start + 2h);
    EXPECT_EQ(line.text(start + 2h), "compare: 100%");
    line.start("duplicate-links", start + 3h);
    line.addItem(start + 3h);
    line.addItem(start + 3h);
    EXPECT_EQ(line.text(start + 4h + 1s), "duplicate-links: 2 log lines, 1:00:01 elapsed");
}

TEST(ProgressLine, IsRewrittenInPlaceOnATerminalOnly)
{
    std::ostringstream terminal, file;
    const ProgressLine::Clock::time_point start{};
    for (std::ostringstream *out : {&terminal, &file}) {
        ProgressLine line(*out, out == &terminal);
        line.start("compare", start);
        line.setPercent(40, start + 1s);
        line.setPercent(41, start + 1s + 10ms); // too soon to draw again
        line.clear();
        line.finish();
        line.redraw(); // nothing to draw once the check has ended
    }
    EXPECT_EQ(file.str(), "");
    EXPECT_EQ(terminal.str(), "\r\033[Kcompare: 0 log lines, 0:00 elapsed"
                              "\r\033[Kcompare: 40%, about 0:01 left"
                              "\r\033[K");
}

TEST(Console, LogLinesGoOutInUtf8AndMessagesToTheErrorStream)
{
    std::ostringstream out, err;
    app::Console console(out, err, false);
    console.AddLine("");
    console.AddLine(platform::utf8ToAnsi("Ошибка\r\nвторая строка"));
    console.showError(platform::utf8ToAnsi("Не могу"));
    EXPECT_EQ(out.str(), "\nОшибка\nвторая строка\n");
    EXPECT_EQ(err.str(), "Не могу\n");
    EXPECT_EQ(console.LogLines(),
              (std::vector<std::string>{"", platform::utf8ToAnsi("Ошибка"),
                                        platform::utf8ToAnsi("вторая строка")}));
    EXPECT_EQ(console.messageBox("?", "", platform::mb::YesNo), platform::mb::IdYes);
}

TEST(Console, AnswersWithTheSettingsStartUpShowed)
{
    std::ostringstream out, err;
    app::Console console(out, err, false);
    reconcile::Preferences preferences;
    preferences.IdNotFound = -1;
    preferences.MoveFiles = false;
    console.ShowSettings(preferences, "D:\\Moved");
    EXPECT_EQ(console.CurrentPreferences(), preferences);
    EXPECT_EQ(console.MoveToText(), "D:\\Moved");
}

} // namespace
