// The driver: its early exits, its messages, the monitor and every failed
// allocation, seen in the host's call log with the command's allocations.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command.h"
#include "meshes.h"
#include "spin/spin.h"

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing_support::lines;
using testing_support::opened;
using testing_support::run_linked;
using testing_support::square;
using testing_support::strip;

namespace
{

class driver : public testing_support::leak_checked
{
};

// The driver's own calls: the log without the phases' record reads, mesh
// changes and monitor steps.
lines driver_calls(const minihost::host &host)
{
    lines calls;
    for (const std::string &line : host.log())
    {
        bool phase = false;
        for (const char *prefix : {"polygon_info ", "point_info ", "remove_polygon ", "add_polygon ", "step "})
            phase = phase || line.starts_with(prefix);
        if (!phase)
            calls.push_back(line);
    }
    return calls;
}

// the lines from the first one equal to first on
lines from(const lines &all, const std::string &first)
{
    auto it = std::find(all.begin(), all.end(), first);
    return lines(it, all.end());
}

const std::string create_monitor = "create \"DaviVere\" \"ESC to abort\"";
const std::string release = testing_support::release_messages;
const std::string select_two = "error \"Select 2 or more adjacent Triangles to spin their shared edges\" \"\"";

std::string out_of_memory(const char *array)
{
    return "error \"Out of memory (malloc failed for " + std::string(array) + ")\" \"\"";
}

TEST_F(driver, begin_edit_null_makes_no_other_call)
{
    minihost::host host(square());
    host.fault.begin_edit_null = true;
    EXPECT_EQ(run_linked(host), 0);
    EXPECT_THAT(host.log(), ElementsAre("begin_edit 0 0 1"));
    EXPECT_EQ(host.end_code(), std::nullopt);
}

TEST_F(driver, missing_monitor_service_sets_nothing_up_ends_the_edit_and_returns_2)
{
    minihost::host host(square());
    host.fault.no_monitor_service = true;
    mesh_edit *stale_op = reinterpret_cast<mesh_edit *>(uintptr_t(0x10));
    polygon_id *stale_polygons = reinterpret_cast<polygon_id *>(uintptr_t(0x20));
    dat = {stale_op, 77, stale_polygons, 1};

    EXPECT_EQ(run_linked(host), 2);
    EXPECT_THAT(host.log(), ElementsAreArray(opened({release, "end_edit 0 2"})));
    EXPECT_EQ(fault_shim::state().allocations, 0u);
    EXPECT_TRUE(dat.op == stale_op && dat.count == 77 && dat.polygons == stale_polygons && dat.growth_failed == 1);
    EXPECT_EQ(host.current(), square());
}

TEST_F(driver, missing_message_service_only_silences_the_messages)
{
    // one triangle: the request for two is not shown, the rest is as usual
    minihost::host lone(square(false));
    lone.fault.no_message_service = true;
    EXPECT_EQ(run_linked(lone), 0);
    EXPECT_THAT(lone.log(), ElementsAreArray(opened(
                                {"malloc 8", "scan_polygons 1", "realloc 8", "free 8", release, "end_edit 0 2"})));

    // a complete run edits the mesh as it does with the service
    minihost::host silent(square());
    silent.fault.no_message_service = true;
    minihost::host told(square());
    run_linked(silent);
    run_linked(told);
    EXPECT_EQ(silent.end_code(), 0);
    EXPECT_NE(silent.current(), square());
    EXPECT_EQ(silent.current(), told.current());
}

TEST_F(driver, fewer_than_two_triangles_ask_for_two)
{
    struct few_case
    {
        const char *name;
        minihost::mesh mesh;
        lines collected;
    };
    minihost::mesh unselected = square(false);
    unselected.find(11)->flags = 0;
    minihost::mesh quadrilateral = square();
    quadrilateral.remove_polygon(11);
    quadrilateral.remove_polygon(12);
    quadrilateral.add_polygon({101, 102, 103, 104});
    const few_case cases[] = {
        {"no polygon", minihost::mesh{}, {}},
        {"nothing selected", unselected, {}},
        {"only a quadrilateral", quadrilateral, {}},
        {"one triangle", square(false), {"realloc 8"}},
    };
    for (const few_case &c : cases)
    {
        SCOPED_TRACE(c.name);
        minihost::host host(c.mesh);
        EXPECT_EQ(run_linked(host), 0);

        lines expected = opened({"malloc 8", "scan_polygons 1"});
        expected.insert(expected.end(), c.collected.begin(), c.collected.end());
        expected.insert(expected.end(), {select_two, "free 8", release, "end_edit 0 2"});
        EXPECT_EQ(host.log(), expected);
    }
}

TEST_F(driver, each_failed_allocation_names_its_array_and_frees_the_ones_before)
{
    // square(): 1 dat.polygons, 2 and 3 its growth, 4 sortpolys, 5 sortflag,
    // 6 sharepolys, 7 shareflag; freed sortflag, sortpolys, sharepolys,
    // shareflag, then the latest block of dat.polygons
    struct failure_case
    {
        uint64_t fail_at;
        lines calls;
        std::vector<uint64_t> freed;
    };
    const failure_case cases[] = {
        {1, opened({"malloc 8 -> null", out_of_memory("dat.polygons"), release, "end_edit 0 2"}), {}},
        {4,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16", "malloc 16 -> null",
                 out_of_memory("sortpolys"), "free 16", release, "end_edit 0 2"}),
         {3}},
        {5,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16", "malloc 16", "calloc 2 4 -> null",
                 out_of_memory("sortflag"), "free 16", "free 16", release, "end_edit 0 2"}),
         {4, 3}},
        {6,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16", "malloc 16", "calloc 2 4",
                 "malloc 16 -> null", out_of_memory("sharepolys"), "free 8", "free 16", "free 16", release,
                 "end_edit 0 2"}),
         {5, 4, 3}},
        {7,
         opened({"malloc 8", "scan_polygons 1", "realloc 8", "realloc 16", "malloc 16", "calloc 2 4", "malloc 16",
                 "calloc 2 4 -> null", out_of_memory("shareflag"), "free 8", "free 16", "free 16", "free 16", release,
                 "end_edit 0 2"}),
         {5, 4, 6, 3}},
    };
    for (const failure_case &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "allocation " << c.fail_at);
        minihost::host host(square());
        EXPECT_EQ(run_linked(host, c.fail_at), 0);
        EXPECT_EQ(driver_calls(host), c.calls);
        EXPECT_EQ(fault_shim::state().freed, c.freed);
        EXPECT_EQ(fault_shim::state().live_blocks, 0);
        EXPECT_EQ(host.end_code(), 0);
        EXPECT_EQ(*host.edit_result(), square());
    }
}

TEST_F(driver, monitor_opens_above_512_triangles)
{
    struct monitor_case
    {
        int triangles;
        bool create_null;
        lines monitor_calls;
        bool steps;
    };
    const monitor_case cases[] = {
        {512, false, {}, false},
        {513, false, {create_monitor, "init 1026", "done", "destroy"}, true},
        {513, true, {create_monitor}, false}, // no monitor: the run goes on and cannot be aborted
    };
    for (const monitor_case &c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.triangles << (c.create_null ? " create null" : ""));
        minihost::host host(strip(c.triangles));
        host.fault.create_null = c.create_null;

        EXPECT_EQ(run_linked(host), 0);
        lines monitor_calls;
        for (const std::string &line : driver_calls(host))
            for (const char *prefix : {"create ", "init ", "done", "destroy"})
                if (line.starts_with(prefix))
                    monitor_calls.push_back(line);
        EXPECT_EQ(monitor_calls, c.monitor_calls);
        EXPECT_EQ(!host.progress().steps.empty(), c.steps);
        EXPECT_THAT(host.messages(), IsEmpty());
        EXPECT_EQ(host.end_code(), 0);
        EXPECT_NE(host.current(), strip(c.triangles));
    }
}

TEST_F(driver, complete_run_closes_the_monitor_before_freeing_the_arrays)
{
    minihost::host host(strip(513));
    EXPECT_EQ(run_linked(host), 0);

    // the work arrays are made once the monitor is open, each for 513 elements
    lines calls = from(driver_calls(host), create_monitor);
    ASSERT_GE(calls.size(), 6u);
    EXPECT_THAT(lines(calls.begin(), calls.begin() + 6),
                ElementsAre(create_monitor, "init 1026", "malloc 4104", "calloc 513 4", "malloc 4104", "calloc 513 4"));

    // the clean-up ends every complete run, whatever the phases did before it
    ASSERT_GE(calls.size(), 9u);
    EXPECT_THAT(lines(calls.end() - 9, calls.end()),
                ElementsAre("done", "destroy", "free 2052", "free 4104", "free 4104", "free 2052", "free 4104", release,
                            "end_edit 0 2"));
    const std::vector<uint64_t> &freed = fault_shim::state().freed;
    ASSERT_GE(freed.size(), 5u);
    EXPECT_THAT(std::vector<uint64_t>(freed.end() - 5, freed.end()), ElementsAre(516, 515, 517, 518, 514));
    EXPECT_THAT(host.messages(), IsEmpty());
}

TEST_F(driver, failed_allocation_with_the_monitor_open_is_shown_before_it_closes)
{
    // strip(513): 1 dat.polygons, 2 to 514 its growth, then the four arrays
    struct failure_case
    {
        uint64_t fail_at;
        lines calls; // from the monitor's creation on
    };
    const failure_case cases[] = {
        {515,
         {create_monitor, "init 1026", "malloc 4104 -> null", out_of_memory("sortpolys"), "done", "destroy",
          "free 4104", release, "end_edit 0 2"}},
        {516,
         {create_monitor, "init 1026", "malloc 4104", "calloc 513 4 -> null", out_of_memory("sortflag"), "done",
          "destroy", "free 4104", "free 4104", release, "end_edit 0 2"}},
        {517,
         {create_monitor, "init 1026", "malloc 4104", "calloc 513 4", "malloc 4104 -> null",
          out_of_memory("sharepolys"), "done", "destroy", "free 2052", "free 4104", "free 4104", release,
          "end_edit 0 2"}},
        {518,
         {create_monitor, "init 1026", "malloc 4104", "calloc 513 4", "malloc 4104", "calloc 513 4 -> null",
          out_of_memory("shareflag"), "done", "destroy", "free 2052", "free 4104", "free 4104", "free 4104", release,
          "end_edit 0 2"}},
    };
    for (const failure_case &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "allocation " << c.fail_at);
        minihost::host host(strip(513));
        EXPECT_EQ(run_linked(host, c.fail_at), 0);
        EXPECT_EQ(from(driver_calls(host), create_monitor), c.calls);
        EXPECT_EQ(host.progress().steps.size(), 0u);
        EXPECT_EQ(fault_shim::state().live_blocks, 0);
        EXPECT_EQ(*host.edit_result(), strip(513));
    }
}

} // namespace
