#include "platform/Process.h"

#include <csignal>
#include <gtest/gtest.h>

TEST(ProcessTest, TheCommandsStatusOr128AndTheSignalThatEndedIt)
{
    EXPECT_EQ(platform::runShellCommand("exit \"$1\"", {"3"}), 3);
    EXPECT_EQ(platform::runShellCommand("kill -TERM $$", {}), 128 + SIGTERM);
}
