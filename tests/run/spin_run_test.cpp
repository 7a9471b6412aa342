#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

} // namespace
