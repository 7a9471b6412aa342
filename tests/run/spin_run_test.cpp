#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "meshes.h"
#include "minihost/builtin.h"
#include "minihost/minihost.h"
#include "plugin_file.h"

namespace
{

TEST(whole_run, builtin_mesh_keeps_its_triangle_count)
{
    minihost::host host(minihost::builtin_mesh());
    EXPECT_EQ(host.run(testing_support::loaded_command()), 0);
    EXPECT_EQ(host.end_code(), 0);
    EXPECT_TRUE(minihost::check(host.current(), 12).empty());
}

// The driver's exits before any work, as a host that loaded the file sees them.
TEST(whole_run, early_exits_end_the_edit_as_the_host_expects)
{
    struct exit_case
    {
        const char *name;
        minihost::faults fault;
        std::vector<std::string> calls;
        int32_t result;
    };
    const std::string open[] = {"begin_edit 0 0 1", "lookup \"Info Messages\" 1", "lookup \"QDX: Dynamic Monitor\" 0"};
    const std::string release = "lookup \"Info Messages\" 2";
    const exit_case cases[] = {
        {"no mesh edit", {.begin_edit_null = true}, {"begin_edit 0 0 1"}, 0},
        {"no monitor service", {.no_monitor_service = true}, {open[0], open[1], open[2], release, "end_edit 0 2"}, 2},
        {"no message service, one triangle",
         {.no_message_service = true},
         {open[0], open[1], open[2], "scan_polygons 1", release, "end_edit 0 2"},
         0},
        {"scan fails",
         {.scan_fails = true, .scan_fail_after = 2, .scan_result = 6},
         {open[0], open[1], open[2], "scan_polygons 1", release, "end_edit 6 2"},
         0},
    };
    for (const exit_case &c : cases)
    {
        SCOPED_TRACE(c.name);
        minihost::host host(testing_support::square(false));
        host.fault = c.fault;
        EXPECT_EQ(host.run(testing_support::loaded_command()), c.result);
        EXPECT_EQ(host.log(), c.calls);
        EXPECT_EQ(host.current(), testing_support::square(false));
    }
}

} // namespace
