#include "platform/Text.h"
#include <gtest/gtest.h>
TEST(Text, Placeholder) { EXPECT_EQ(platform::upperLatin("a"), "A"); }
