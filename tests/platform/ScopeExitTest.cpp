#include "platform/ScopeExit.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ScopeExitTest, RunsOnceWhenTheScopeEnds)
{
    int calls = 0;
    {
        platform::ScopeExit cleanup([&] { ++calls; });
        EXPECT_EQ(calls, 0);
    }
    EXPECT_EQ(calls, 1);
}

TEST(ScopeExitTest, RunsWhenAnExceptionLeavesTheScope)
{
    int calls = 0;
    try {
        platform::ScopeExit cleanup([&] { ++calls; });
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error &) {
        EXPECT_EQ(calls, 1);
    }
    EXPECT_EQ(calls, 1);
}

} // namespace
