#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command.h"
#include "minihost/builtin.h"
#include "minihost/direct.h"
#include "phases.h"
#include "spin/spin.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace
{

using pairing_fn = phase_outcome (*)(const spin_data *, const polygon_id *, polygon_id *, int32_t *, int32_t *,
                                     monitor *);

// Outcomes must not depend on how pairing finds its candidates: every
// outcome test runs the command's pairing and the plain scan alike.
const struct
{
    const char *name;
    pairing_fn pair;
} pairings[] = {
    {"pair_triangles", pair_triangles},
    {"pair_triangles_scan", pair_triangles_scan},
};

struct paired
{
    phase_outcome outcome = phase_complete;
    std::vector<uint32_t> sharepolys; // the share_count entries written
};

// Pairs the given sortpolys; with a monitor when with_monitor is set.
paired pair(minihost::host &host, pairing_fn pairing, const std::vector<uint32_t> &sortpolys, bool with_monitor = true)
{
    paired out;
    minihost::run_in_edit(
        host,
        [&](mesh_edit &op, service_lookup_fn lookup)
        {
            monitor *progress =
                with_monitor ? testing_support::open_monitor(lookup, 2 * uint32_t(sortpolys.size())) : nullptr;
            std::vector<polygon_id> sorted = testing_support::handles(sortpolys);
            spin_data d{&op, int32_t(sorted.size()), sorted.data(), 0};
            std::vector<polygon_id> sharepolys(sorted.size());
            std::vector<int32_t> shareflag(sorted.size(), 0);
            int32_t share_count = 0;
            out.outcome = pairing(&d, sorted.data(), sharepolys.data(), shareflag.data(), &share_count, progress);
            out.sharepolys = testing_support::ids(sharepolys.data(), size_t(share_count));
            return 0;
        });
    return out;
}

// A strip of four triangles, x from x0:
//
//       b-------d-------f
//      / \  T2 / \  T4 /
//     /   \   /   \   /
//    /  T1 \ /  T3 \ /
//   a-------c-------e
//
// T1 and T2 share b-c, T2 and T3 c-d, T3 and T4 d-e; no other two share more
// than one point.
enum : uint32_t
{
    a = 1,
    b,
    c,
    d,
    e,
    f,
};
enum : uint32_t
{
    T1 = 11,
    T2,
    T3,
    T4,
};

minihost::mesh strip(double x0 = 0)
{
    minihost::mesh m;
    m.add_point({x0, 0, 0}, a);
    m.add_point({x0 + 1, 1, 0}, b);
    m.add_point({x0 + 2, 0, 0}, c);
    m.add_point({x0 + 3, 1, 0}, d);
    m.add_point({x0 + 4, 0, 0}, e);
    m.add_point({x0 + 5, 1, 0}, f);
    m.add_polygon({a, b, c}, POLYTYPE_FACE, "S1", true, T1);
    m.add_polygon({b, d, c}, POLYTYPE_PTCH, "S2", true, T2);
    m.add_polygon({c, d, e}, POLYTYPE_FACE, "S3", true, T3);
    m.add_polygon({d, f, e}, POLYTYPE_PTCH, "S4", true, T4);
    return m;
}

TEST(pairing, adjacency_counts_each_point_of_the_second_triangle_once)
{
    struct
    {
        std::array<uint32_t, 3> first, second;
        int32_t adjacent;
    } rows[] = {
        {{a, b, c}, {b, d, c}, 1}, //
        {{a, b, c}, {c, a, b}, 0}, // the same three points
        {{a, b, c}, {a, d, e}, 0}, //
        {{a, d, e}, {a, a, b}, 1}, // a of the first matches both a of the second
        {{a, a, b}, {a, d, e}, 0}, //
        {{a, a, b}, {a, b, c}, 1}, //
        {{a, b, c}, {a, a, b}, 0}, //
    };
    for (const auto &row : rows)
    {
        SCOPED_TRACE(testing::PrintToString(row.first) + " " + testing::PrintToString(row.second));
        minihost::mesh m = strip();
        m.add_polygon(row.first, POLYTYPE_FACE, "default", true, 1);
        m.add_polygon(row.second, POLYTYPE_FACE, "default", true, 2);

        minihost::host direct(m);
        int32_t adjacent = -1;
        minihost::run_in_edit(direct,
                              [&](mesh_edit &op)
                              {
                                  spin_data dat_of_edit{&op, 0, nullptr, 0};
                                  adjacent = tris_adjacent(&dat_of_edit, minihost::host::polygon_handle(1),
                                                           minihost::host::polygon_handle(2));
                                  return 0;
                              });
        EXPECT_EQ(adjacent, row.adjacent);
        EXPECT_THAT(testing_support::edit_calls(direct), ElementsAre("polygon_info 1", "polygon_info 2"));

        // pairing hands the later triangle over as the first one
        for (const auto &pairing : pairings)
        {
            SCOPED_TRACE(pairing.name);
            minihost::host host(m);
            std::vector<uint32_t> expected;
            if (row.adjacent)
                expected = {2, 1};
            EXPECT_EQ(pair(host, pairing.pair, {2, 1}).sharepolys, expected);
        }
    }
}

TEST(pairing, adjacency_of_a_missing_record_is_none)
{
    // T1 and T2 share an edge
    struct
    {
        uint64_t null_at;
        std::vector<std::string> calls;
    } cases[] = {
        {1, {"polygon_info 11"}},
        {2, {"polygon_info 11", "polygon_info 12"}},
    };
    for (const auto &row : cases)
    {
        SCOPED_TRACE(row.null_at);
        minihost::host host(strip());
        host.fault.polygon_info_null_at = row.null_at;
        int32_t adjacent = -1;
        minihost::run_in_edit(host,
                              [&](mesh_edit &op)
                              {
                                  spin_data dat_of_edit{&op, 0, nullptr, 0};
                                  adjacent = tris_adjacent(&dat_of_edit, minihost::host::polygon_handle(T1),
                                                           minihost::host::polygon_handle(T2));
                                  return 0;
                              });
        EXPECT_EQ(adjacent, 0);
        EXPECT_EQ(testing_support::edit_calls(host), row.calls);
    }
}

TEST(pairing, each_triangle_takes_the_first_later_free_neighbour)
{
    struct
    {
        const char *name;
        std::vector<uint32_t> sortpolys;
        std::vector<uint32_t> sharepolys;
    } cases[] = {
        {"strip of four in order", {T1, T2, T3, T4}, {T1, T2, T3, T4}},
        {"strip of four from the middle: the ends stay free", {T2, T3, T1, T4}, {T2, T3}},
        {"strip of three, the middle last", {T1, T3, T2}, {T1, T2}},
        {"earliest of two neighbours", {T2, T3, T1}, {T2, T3}},
        {"earliest of two neighbours, other order", {T2, T1, T3}, {T2, T1}},
        {"two sharing an edge, in sortpolys order", {T2, T1}, {T2, T1}},
        {"one shared point", {T1, T3}, {}},
        {"no shared point", {T1, T4}, {}},
    };
    for (const auto &row : cases)
    {
        for (const auto &pairing : pairings)
        {
            SCOPED_TRACE(std::string(row.name) + ", " + pairing.name);
            minihost::host host(strip());
            paired result = pair(host, pairing.pair, row.sortpolys);
            EXPECT_EQ(result.outcome, phase_complete);
            EXPECT_EQ(result.sharepolys, row.sharepolys);
            // one step per position but the last, taken or not
            EXPECT_EQ(host.progress().steps, std::vector<uint32_t>(row.sortpolys.size() - 1, 1));
            EXPECT_EQ(host.edit_result(), strip());
        }
    }
}

TEST(pairing, without_a_monitor_no_step_is_made)
{
    for (const auto &pairing : pairings)
    {
        SCOPED_TRACE(pairing.name);
        minihost::host host(strip());
        EXPECT_THAT(pair(host, pairing.pair, {T1, T2, T3, T4}, false).sharepolys, ElementsAre(T1, T2, T3, T4));
        EXPECT_THAT(host.progress().steps, IsEmpty());
    }
}

// The reads of the plain scan: two per adjacency test, candidate first; the
// step of each position before anything else, also for a taken position.
TEST(pairing, plain_scan_reads_and_steps_in_order)
{
    minihost::host host(strip());
    pair(host, pair_triangles_scan, {T1, T3, T2, T4});
    EXPECT_THAT(testing_support::edit_calls(host),
                ElementsAre("lookup \"QDX: Dynamic Monitor\" 0", "create \"DaviVere\" \"ESC to abort\"", "init 8", //
                            "step 1", "polygon_info 13", "polygon_info 11", // T3, T1
                            "polygon_info 12", "polygon_info 11",           // T2, T1
                            "step 1", "polygon_info 14", "polygon_info 13", // T4, T3
                            "step 1"));                                     // T2
}

TEST(pairing, abort_at_a_step_keeps_the_positions_before_it)
{
    struct
    {
        uint64_t abort_at_step;
        std::vector<uint32_t> sharepolys;
    } cases[] = {
        {1, {}},       // nothing tested
        {2, {T1, T2}}, // at the taken position 1
        {3, {T1, T2}}, // at position 2, before its test
    };
    for (const auto &row : cases)
    {
        for (const auto &pairing : pairings)
        {
            SCOPED_TRACE(std::to_string(row.abort_at_step) + ", " + pairing.name);
            minihost::host host(strip());
            host.fault.abort_at_step = row.abort_at_step;
            paired result = pair(host, pairing.pair, {T1, T2, T3, T4});
            EXPECT_EQ(result.outcome, phase_aborted);
            EXPECT_EQ(result.sharepolys, row.sharepolys);
            EXPECT_EQ(testing_support::edit_calls(host).back(), "step 1");
        }
    }
}

TEST(pairing, the_command_closes_after_an_abort_with_nothing_changed)
{
    // 544 triangles, so the command opens a monitor
    const minihost::mesh grid = minihost::grid_mesh(17, 16, -8.5);
    const size_t n = grid.polygon_count();
    for (uint64_t step : {uint64_t(1), uint64_t(101)})
    {
        SCOPED_TRACE(step);
        minihost::host host(grid);
        host.fault.abort_at_step = step;
        EXPECT_EQ(testing_support::run_linked(host), 0);

        EXPECT_EQ(host.progress().steps, std::vector<uint32_t>(step, 1));
        EXPECT_THAT(testing_support::mesh_calls_after_last_step(host.log()), IsEmpty());
        EXPECT_EQ(testing_support::last(host.log(), 10), testing_support::abort_closing(n));
        EXPECT_EQ(host.edit_result(), grid);
        EXPECT_EQ(host.current(), grid);
    }
}

// The whole command on four triangles, every host call, twice: with the
// pairing index, and with the plain scan that pairing falls back to when the
// index's first allocation fails (the tenth: dat.polygons, its four growths
// and the four work arrays come before it). Only pairing's reads differ.
//
// The strip from x = -2: T3 and T4 lie on the positive side, T2 on the
// plane x = 0.
TEST(pairing, whole_run_of_four_triangles)
{
    struct
    {
        const char *name;
        uint64_t fail_at;
        std::vector<std::string> pairing_reads;
    } runs[] = {
        {"index: each triangle once, in sortpolys order",
         0,
         {"polygon_info 13", "polygon_info 14", "polygon_info 11", "polygon_info 12"}},
        {"plain scan: two per test, the candidate first",
         10,
         {"polygon_info 14", "polygon_info 13", "polygon_info 12", "polygon_info 11"}},
    };
    for (const auto &run : runs)
    {
        SCOPED_TRACE(run.name);
        minihost::host host(strip(-2));
        EXPECT_EQ(testing_support::run_linked(host, run.fail_at), 0);

        std::vector<std::string> calls = {"begin_edit 0 0 1", "lookup \"Info Messages\" 1",
                                          "lookup \"QDX: Dynamic Monitor\" 0", "scan_polygons 1",
                                          // side ordering: sortpolys = T3 T4 T1 T2, positive_count 2
                                          "polygon_info 11", "point_info 1", "point_info 2", "point_info 3", //
                                          "polygon_info 12", "point_info 2", "point_info 4", "point_info 3", //
                                          "polygon_info 13", "point_info 3", "point_info 4", "point_info 5", //
                                          "polygon_info 14", "point_info 4", "point_info 6", "point_info 5"};
        // pairing: (T3, T4), T4 skipped, (T1, T2)
        calls.insert(calls.end(), run.pairing_reads.begin(), run.pairing_reads.end());
        calls.insert(calls.end(),
                     {// edge spin: (T3, T4) at e = 0, front
                      "polygon_info 13", "polygon_info 14", "remove_polygon 14", "add_polygon PTCH 0 S4 3 3 4 6",
                      "remove_polygon 13", "add_polygon FACE 0 S3 3 6 5 3",
                      // (T1, T2) at e = 2, rear
                      "polygon_info 11", "polygon_info 12", "remove_polygon 12", "add_polygon PTCH 0 S2 3 1 4 3",
                      "remove_polygon 11", "add_polygon FACE 0 S1 3 4 1 2", "lookup \"Info Messages\" 2",
                      "end_edit 0 2"});
        EXPECT_EQ(testing_support::host_calls(host), calls);
    }
}

} // namespace
