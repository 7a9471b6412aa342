// Ctrl-C, which a subprocess test cannot time against a run this short.
#include <gtest/gtest.h>

#include <csignal>

#include "minihost/terminal.h"

namespace
{

TEST(monitor, ctrl_c_answers_abort_at_the_next_step_and_gives_the_signal_back)
{
    struct sigaction before
    {
    };
    sigaction(SIGINT, nullptr, &before);
    {
        minihost::terminal_monitor monitor(false);
        EXPECT_FALSE(monitor.step("DaviVere", "ESC to abort", 1, 1026));
        std::raise(SIGINT);
        EXPECT_TRUE(monitor.interrupted());
        EXPECT_TRUE(monitor.step("DaviVere", "ESC to abort", 2, 1026));
        EXPECT_TRUE(monitor.aborted());
    }
    struct sigaction after
    {
    };
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

} // namespace
