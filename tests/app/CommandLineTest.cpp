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
}

} // namespace
