// Triangle collection: which polygons the scan's callback takes, in which
// order, and what a failing scan or a failed growth leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command.h"
#include "meshes.h"
#include "spin/spin.h"

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::lines;
using testing_support::opened;
using testing_support::run_linked;
using testing_support::square;
using testing_support::strip;

namespace
{

class collection : public testing_support::leak_checked
{
};

// the log from begin_edit through the call named last, the rest dropped
lines through(const lines &all, const std::string &last, int nth = 1)
{
    auto it = all.begin();
    for (int found = 0; it != all.end(); ++it)
        if (*it == last && ++found == nth)
            return lines(all.begin(), it + 1);
    return all;
}

const std::string release = testing_support::release_messages;
const std::string no_polygons = "error \"Out of memory (malloc failed for dat.polygons)\" \"\"";

TEST_F(collection, worked_example_takes_p1_and_p4_in_scan_order)
{
    // P1 selected FACE, P2 unselected FACE, P3 selected 4-point FACE,
    // P4 selected PTCH, P5 selected triangle of another type
    //
    //   4 ---- 5 ---- 6
    //   | P2 / | P4 / |
    //   |  / P1|  / P5|
    //   1 ---- 2 ---- 3      P3: 1 2 5 4
    minihost::mesh m;
    for (double y : {0.0, 1.0})
        for (double x : {1.0, 2.0, 3.0})
            m.add_point({x, y, 0});
    m.add_polygon({1, 2, 5}, POLYTYPE_FACE, "default", true, 1);
    m.add_polygon({1, 5, 4}, POLYTYPE_FACE, "default", false, 2);
    m.add_polygon({1, 2, 5, 4}, POLYTYPE_FACE, "default", true, 3);
    m.add_polygon({2, 6, 5}, POLYTYPE_PTCH, "default", true, 4);
    m.add_polygon({2, 3, 6}, HOST_FOURCC('S', 'U', 'B', 'D'), "default", true, 5);

    minihost::host host(m);
    EXPECT_EQ(run_linked(host), 0);

    // the block grows by one element per triangle taken; side ordering then
    // reads the collected triangles in collection order
    EXPECT_EQ(through(host.log(), "calloc 2 4"),
              opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16", "malloc 16", "calloc 2 4"}));
    lines read;
    for (const std::string &line : through(host.log(), "calloc 2 4", 2))
        if (line.starts_with("polygon_info "))
            read.push_back(line);
    EXPECT_THAT(read, ElementsAre("polygon_info 1", "polygon_info 4"));
    EXPECT_EQ(dat.count, 2);
}

TEST_F(collection, takes_selected_three_point_face_and_ptch_only)
{
    // each candidate goes with one plain selected FACE triangle: taken, it
    // makes two triangles; passed over, the run asks for two
    struct candidate
    {
        const char *name;
        std::vector<uint32_t> points;
        uint32_t type;
        int32_t flags;
        bool taken;
    };
    const candidate cases[] = {
        {"FACE", {101, 103, 104}, POLYTYPE_FACE, 1, true},
        {"PTCH with further flag bits", {101, 103, 104}, POLYTYPE_PTCH, 0x7F01, true},
        {"unselected FACE", {101, 103, 104}, POLYTYPE_FACE, 0, false},
        {"FACE with further bits but not bit 0", {101, 103, 104}, POLYTYPE_FACE, 0x7F00, false},
        {"2-point FACE", {101, 103}, POLYTYPE_FACE, 1, false},
        {"4-point FACE", {101, 102, 103, 104}, POLYTYPE_FACE, 1, false},
        {"FACE in the opposite byte order", {101, 103, 104}, HOST_FOURCC('E', 'C', 'A', 'F'), 1, false},
        {"PTCH in the opposite byte order", {101, 103, 104}, HOST_FOURCC('H', 'C', 'T', 'P'), 1, false},
        {"another type", {101, 103, 104}, HOST_FOURCC('S', 'U', 'B', 'D'), 1, false},
    };
    for (const candidate &c : cases)
    {
        SCOPED_TRACE(c.name);
        minihost::mesh m = square(false);
        m.remove_polygon(12);
        uint32_t id = m.add_polygon(c.points, c.type);
        m.find(id)->flags = c.flags;

        minihost::host host(m);
        EXPECT_EQ(run_linked(host), 0);
        lines grown;
        for (const std::string &line : host.log())
            if (line.starts_with("realloc"))
                grown.push_back(line);
        const lines one = {"realloc 8"}, two = {"realloc 8", "realloc 16"};
        EXPECT_EQ(grown, c.taken ? two : one);
        EXPECT_EQ(host.messages().empty(), c.taken);
    }
}

TEST_F(collection, nonzero_scan_result_ends_silently_with_that_code)
{
    struct scan_case
    {
        size_t after;
        int32_t result;
        lines calls;
    };
    const scan_case cases[] = {
        {0, 7, opened({"malloc 8", "scan_polygons 1", "free 8", release, "end_edit 7 2"})},
        {1, -1, opened({"malloc 8", "scan_polygons 1", "realloc 8", "free 8", release, "end_edit -1 2"})},
        {2, 5, opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16", "free 16", release, "end_edit 5 2"})},
    };
    for (const scan_case &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "after " << c.after << " result " << c.result);
        minihost::host host(square());
        host.fault.scan_fails = true;
        host.fault.scan_fail_after = c.after;
        host.fault.scan_result = c.result;

        EXPECT_EQ(run_linked(host), 0);
        EXPECT_EQ(host.log(), c.calls);
        EXPECT_EQ(*host.edit_result(), square());
        EXPECT_EQ(host.current(), square());
    }
}

TEST_F(collection, failed_growth_keeps_the_block_and_reports_out_of_memory)
{
    // strip(3): allocation 1 is the first block, 2 to 4 its growth
    struct growth_case
    {
        const char *name;
        uint64_t fail_at;
        bool fail_after;
        bool scan_fails;
        lines calls;
    };
    const growth_case cases[] = {
        {"first triangle", 2, false, false,
         opened({"malloc 8", "scan_polygons 1", "realloc 8 -> null", no_polygons, "free 8", release, "end_edit 0 2"})},
        // nothing is taken after a failure, even when memory would be there again
        {"second triangle", 3, false, false,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16 -> null", no_polygons, "free 8", release,
                 "end_edit 0 2"})},
        {"every allocation from the second triangle on", 3, true, false,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16 -> null", no_polygons, "free 8", release,
                 "end_edit 0 2"})},
        {"then the scan fails", 3, false, true,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16 -> null", "free 8", release, "end_edit 9 2"})},
    };
    for (const growth_case &c : cases)
    {
        SCOPED_TRACE(c.name);
        minihost::host host(strip(3));
        host.fault.scan_fails = c.scan_fails;
        host.fault.scan_fail_after = 3;
        host.fault.scan_result = 9;

        EXPECT_EQ(run_linked(host, c.fail_at, c.fail_after), 0);
        EXPECT_EQ(host.log(), c.calls);
        EXPECT_EQ(fault_shim::state().live_blocks, 0);
        EXPECT_EQ(*host.edit_result(), strip(3));
    }

    // the next run starts afresh
    minihost::host host(strip(3));
    EXPECT_EQ(run_linked(host), 0);
    EXPECT_THAT(host.messages(), IsEmpty());
    EXPECT_EQ(host.end_code(), 0);
}

} // namespace
