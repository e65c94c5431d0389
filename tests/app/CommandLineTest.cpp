#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <stdexcept>

using app::parseCommandLine;

namespace {

TEST(CommandLine, DirNamesTheProgramFolder)
{
    EXPECT_EQ(parseCommandLine({"--dir", "/srv/library manager"}).programDir,
              "\\srv\\library manager");
    EXPECT_EQ(parseCommandLine({}).programDir, "");
}

TEST(CommandLine, RejectsWhatItDoesNotKnow)
{
    EXPECT_THROW(parseCommandLine({"--dir"}), std::invalid_argument);
    EXPECT_THROW(parseCommandLine({"--dir", ""}), std::invalid_argument);
    EXPECT_THROW(parseCommandLine({"--verbose"}), std::invalid_argument);
    // The window takes no checks.
    EXPECT_THROW(parseCommandLine({"--run", "compare"}), std::invalid_argument);
}

TEST(CommandLine, ConsoleRunsTheNamedChecksInOrder)
{
    using app::Check;
    const auto line = parseCommandLine({"--run", "duplicate-links,compare,duplicate-links"},
                                       app::Program::Console);
    EXPECT_EQ(line.checks,
              (std::vector<Check>{Check::DuplicateLinks, Check::Compare, Check::DuplicateLinks}));
    EXPECT_TRUE(parseCommandLine({"--help"}, app::Program::Console).help);
    EXPECT_NE(parseCommandLine({"--undo", "moves.txt"}, app::Program::Console).undoJournal, "");
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{},
                                               {"--run"},
                                               {"--run", "compare,"},
                                               {"--run", "Compare"},
                                               {"--dir", "x"},
                                               {"--undo"},
                                               {"--undo", "moves.txt", "--run", "compare"}})
        EXPECT_THROW(parseCommandLine(bad, app::Program::Console), std::invalid_argument);
    EXPECT_THROW(parseCommandLine({"--undo", "moves.txt"}), std::invalid_argument);
}

} // namespace
