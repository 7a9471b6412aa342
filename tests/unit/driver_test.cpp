#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command.h"
#include "minihost/builtin.h"

using testing::ElementsAre;
using testing_support::run_linked;

namespace
{

// Two triangles sharing the edge 101-103 of a unit square at x in [1, 2]:
//
//   104 ---- 103
//    |  12 /  |
//    |   /    |
//    | /  11  |
//   101 ---- 102
minihost::mesh square(bool second_selected = true)
{
    minihost::mesh m;
    m.add_point({1, 0, 0}, 101);
    m.add_point({2, 0, 0}, 102);
    m.add_point({2, 1, 0}, 103);
    m.add_point({1, 1, 0}, 104);
    m.add_polygon({101, 102, 103}, POLYTYPE_FACE, "S1", true, 11);
    m.add_polygon({101, 103, 104}, POLYTYPE_PTCH, "S2", second_selected, 12);
    return m;
}

TEST(driver, one_triangle_asks_for_two)
{
    minihost::host host(square(false));
    EXPECT_EQ(run_linked(host), 0);
    EXPECT_THAT(host.log(), ElementsAre("begin_edit 0 0 1", "lookup \"Info Messages\" 1",
                                        "lookup \"QDX: Dynamic Monitor\" 0", "malloc 8", "scan_polygons 1",
                                        "realloc 8",
                                        "error \"Select 2 or more adjacent Triangles to spin their shared edges\" \"\"",
                                        "free 8", "lookup \"Info Messages\" 2", "end_edit 0 2"));
}

} // namespace
