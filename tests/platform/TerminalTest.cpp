#include "platform/Terminal.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace {

// Both run in a child process of their own: the handlers stay there.
TEST(Interrupts, TheFirstIsNotedAndSaidTheSecondEndsTheProcessAtOnce)
{
    EXPECT_EXIT(
        {
            platform::catchInterrupts("stopping\n");
            raise(SIGTERM);
            if (!platform::interruptRequested() || platform::takeInterruptRequest() != SIGTERM ||
                platform::takeInterruptRequest() != 0)
                _exit(1);
            raise(SIGINT);
            _exit(2); // not reached: the second interrupt ends the process
        },
        testing::ExitedWithCode(128 + SIGINT), "^stopping\n$");
}

} // namespace
