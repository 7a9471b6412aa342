#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "command.h"
#include "minihost/builtin.h"
#include "minihost/direct.h"
#include "phases.h"
#include "spin/spin.h"
#include "spun.h"

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::host_calls;
using testing_support::last;
using testing_support::run_linked;

namespace
{

using listing = std::array<uint32_t, 3>;

// The unit square of square k, its x from x0; point and polygon ids grow
// by 10 from one square to the next:
//
//   104 ---- 103
//    |  12 /  |      11: FACE, surface S1
//    |   /    |      12: PTCH, surface S2
//    | /  11  |      they share 101-103
//   101 ---- 102
void add_square(minihost::mesh &m, double x0, uint32_t k = 0, listing a = {101, 102, 103}, listing b = {101, 103, 104})
{
    uint32_t o = 10 * k;
    m.add_point({x0, 0, 0}, 101 + o);
    m.add_point({x0 + 1, 0, 0}, 102 + o);
    m.add_point({x0 + 1, 1, 0}, 103 + o);
    m.add_point({x0, 1, 0}, 104 + o);
    for (uint32_t &p : a)
        p += o;
    for (uint32_t &p : b)
        p += o;
    m.add_polygon(a, POLYTYPE_FACE, "S1", true, 11 + o);
    m.add_polygon(b, POLYTYPE_PTCH, "S2", true, 12 + o);
}

minihost::mesh square(double x0, listing a = {101, 102, 103}, listing b = {101, 103, 104})
{
    minihost::mesh m;
    add_square(m, x0, 0, a, b);
    return m;
}

// The calls that replace square k's pair, in either arrangement: apex of
// 11 is 102 (U 103, V 101), apex of 12 is 104.
std::vector<std::string> spin_calls(uint32_t k, bool front)
{
    auto ids = [k](uint32_t p, uint32_t q, uint32_t r)
    { return std::to_string(p + 10 * k) + " " + std::to_string(q + 10 * k) + " " + std::to_string(r + 10 * k); };
    std::string a = std::to_string(11 + 10 * k), b = std::to_string(12 + 10 * k);
    return {"polygon_info " + a,   "polygon_info " + b,
            "remove_polygon " + b, "add_polygon PTCH 0 S2 3 " + (front ? ids(102, 103, 104) : ids(102, 104, 101)),
            "remove_polygon " + a, "add_polygon FACE 0 S1 3 " + (front ? ids(104, 101, 102) : ids(104, 102, 103))};
}

std::vector<std::string> then_close(std::vector<std::string> calls)
{
    calls.push_back("lookup \"Info Messages\" 2");
    calls.push_back("end_edit 0 2");
    return calls;
}

std::vector<std::string> additions(const std::vector<std::string> &log)
{
    std::vector<std::string> added;
    std::copy_if(log.begin(), log.end(), std::back_inserter(added),
                 [](const std::string &line) { return line.starts_with("add_polygon"); });
    return added;
}

// Runs spin_edges alone over sharepolys, without a monitor.
void spin(minihost::host &host, const std::vector<uint32_t> &sharepolys, int32_t positive_count)
{
    minihost::run_in_edit(host,
                          [&](mesh_edit &op)
                          {
                              std::vector<polygon_id> pairs = testing_support::handles(sharepolys);
                              EXPECT_EQ(spin_edges(&op, pairs.data(), int32_t(pairs.size()), positive_count, nullptr),
                                        phase_complete);
                              return 0;
                          });
}

// Both examples: the square at x 1..2 (both triangles positive, front) and
// at x -9..-8 (none positive, rear). The calls hold whatever point A starts
// from, so with its apex at each position, and whatever B's order. There is
// no monitor: no step.
TEST(edge_spin, worked_examples_in_every_listing)
{
    const listing rotations_of_a[] = {{101, 102, 103}, {102, 103, 101}, {103, 101, 102}};
    listing b = {101, 103, 104};
    std::sort(b.begin(), b.end());
    do
    {
        for (const listing &a : rotations_of_a)
        {
            for (bool front : {true, false})
            {
                SCOPED_TRACE(testing::PrintToString(a) + " " + testing::PrintToString(b) +
                             (front ? " front" : " rear"));
                minihost::host host(square(front ? 1 : -9, a, b));
                EXPECT_EQ(run_linked(host), 0);
                EXPECT_EQ(last(host_calls(host), 8), then_close(spin_calls(0, front)));
            }
        }
    } while (std::next_permutation(b.begin(), b.end()));
}

TEST(edge_spin, a_first_member_that_repeats_a_point)
{
    // A = (x, x, z) and B = (y, x, w): P = z, U = V = x, Q = y
    enum : uint32_t
    {
        x = 1,
        z,
        y,
        w,
    };
    minihost::mesh m;
    m.add_point({1, 0, 0}, x);
    m.add_point({2, 0, 0}, z);
    m.add_point({1, 1, 0}, y);
    m.add_point({0, 1, 0}, w);
    m.add_polygon({x, x, z}, POLYTYPE_FACE, "SA", true, 21);
    m.add_polygon({y, x, w}, POLYTYPE_PTCH, "SB", true, 22);
    minihost::host host(std::move(m));

    EXPECT_EQ(run_linked(host), 0);
    EXPECT_EQ(last(host_calls(host), 8),
              then_close({"polygon_info 21", "polygon_info 22", "remove_polygon 22", "add_polygon PTCH 0 SB 3 2 1 3",
                          "remove_polygon 21", "add_polygon FACE 0 SA 3 3 1 2"}));
}

TEST(edge_spin, arrangement_follows_the_entry_index_against_positive_count)
{
    struct
    {
        int32_t positive_count;
        const char *arrangements; // of the pairs at e = 0, 2, 4
    } cases[] = {
        {0, "rrr"}, // all rear
        {2, "frr"}, // e = 2 is not less than 2
        {3, "ffr"}, // the first two of ceil(3 / 2)
        {6, "fff"}, // positive_count reaches share_count: all front
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.positive_count);
        minihost::mesh m;
        for (uint32_t k = 0; k < 3; ++k)
            add_square(m, 5.0 * k, k);
        minihost::host host(std::move(m));

        spin(host, {11, 12, 21, 22, 31, 32}, c.positive_count);
        std::vector<std::string> expected;
        for (uint32_t k = 0; k < 3; ++k)
        {
            std::vector<std::string> calls = spin_calls(k, c.arrangements[k] == 'f');
            expected.insert(expected.end(), calls.begin(), calls.end());
        }
        EXPECT_EQ(testing_support::edit_calls(host), expected);
    }
}

// The negative square's pair is the only one; it is found at e = 0, so two
// positive triangles elsewhere make it front, though neither is in it.
TEST(edge_spin, arrangement_does_not_look_at_the_pairs_own_side)
{
    for (bool positives_selected : {true, false})
    {
        SCOPED_TRACE(positives_selected);
        minihost::mesh m = square(-9);
        for (double x0 : {5.0, 10.0})
        {
            uint32_t p = m.add_point({x0, 0, 0});
            uint32_t q = m.add_point({x0 + 1, 0, 0});
            uint32_t r = m.add_point({x0, 1, 0});
            m.add_polygon({p, q, r}, POLYTYPE_FACE, "default", positives_selected);
        }
        minihost::host host(std::move(m));

        EXPECT_EQ(run_linked(host), 0);
        EXPECT_EQ(additions(host.log()), additions(spin_calls(0, positives_selected)));
    }
}

TEST(edge_spin, no_pair_no_call)
{
    minihost::host host(square(1));
    minihost::run_in_edit(host,
                          [](mesh_edit &op, service_lookup_fn lookup)
                          {
                              monitor *progress = testing_support::open_monitor(lookup, 4);
                              polygon_id unused[2] = {};
                              EXPECT_EQ(spin_edges(&op, unused, 0, 2, progress), phase_complete);
                              return 0;
                          });
    EXPECT_THAT(testing_support::edit_calls(host),
                ElementsAre("lookup \"QDX: Dynamic Monitor\" 0", "create \"DaviVere\" \"ESC to abort\"", "init 4"));
}

TEST(edge_spin, a_missing_record_skips_its_pair)
{
    struct
    {
        uint64_t null_at;
        std::vector<std::string> first_pair;
    } cases[] = {
        {1, {"polygon_info 11"}},
        {2, {"polygon_info 11", "polygon_info 12"}},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.null_at);
        minihost::mesh m;
        add_square(m, 1, 0);
        add_square(m, 3, 1);
        minihost::host host(std::move(m));
        host.fault.polygon_info_null_at = c.null_at;

        spin(host, {11, 12, 21, 22}, 4);
        std::vector<std::string> expected = c.first_pair;
        std::vector<std::string> second = spin_calls(1, true);
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(testing_support::edit_calls(host), expected);
    }
}

TEST(edge_spin, a_second_member_without_apex_is_left_alone)
{
    // 1 = (a, b, c) pairs with 2 = (a, a, b), every point of which 1 lists;
    // the square's pair comes first and is spun as usual
    minihost::mesh m = square(5);
    uint32_t a = m.add_point({1, 0, 0});
    uint32_t b = m.add_point({2, 0, 0});
    uint32_t c = m.add_point({2, 1, 0});
    m.add_polygon({a, b, c}, POLYTYPE_FACE, "default", true, 1);
    m.add_polygon({a, a, b}, POLYTYPE_FACE, "default", true, 2);
    minihost::host host(m);

    EXPECT_EQ(run_linked(host), 0);
    std::vector<std::string> expected = spin_calls(0, true);
    expected.insert(expected.end(), {"polygon_info 1", "polygon_info 2"});
    EXPECT_EQ(last(host_calls(host), 10), then_close(expected));
    EXPECT_EQ(*host.edit_result()->find(1), *m.find(1));
    EXPECT_EQ(*host.edit_result()->find(2), *m.find(2));
}

// 544 triangles, so that the command opens a monitor; pair m's step is the
// one after the n - 1 steps of pairing and the m steps of the pairs before.
TEST(edge_spin, abort_at_a_pair_keeps_exactly_the_pairs_before_it)
{
    const minihost::mesh grid = minihost::grid_mesh(17, 16, -8.5);
    const size_t n = grid.polygon_count();
    minihost::host reference(grid);
    run_linked(reference);
    const auto pairs = testing_support::spun_pairs(reference.log());
    const auto added = testing_support::added_polygons(grid, *reference.edit_result());
    ASSERT_GT(pairs.size(), 5u);

    for (size_t m : {size_t(0), size_t(5)})
    {
        SCOPED_TRACE(m);
        minihost::host host(grid);
        host.fault.abort_at_step = (n - 1) + m + 1;
        EXPECT_EQ(run_linked(host), 0);

        std::vector<uint32_t> steps(n - 1, 1);
        steps.resize(n + m, 2);
        EXPECT_EQ(host.progress().steps, steps);
        EXPECT_THAT(testing_support::mesh_calls_after_last_step(host.log()), IsEmpty());
        EXPECT_EQ(last(host.log(), 10), testing_support::abort_closing(n));

        // the edit holds the first m pairs replaced, as the complete run
        // replaced them; the host kept nothing
        minihost::mesh expected = grid;
        for (size_t k = 0; k < m; ++k)
        {
            expected.remove_polygon(pairs[k].first);
            expected.remove_polygon(pairs[k].second);
        }
        for (size_t k = 0; k < 2 * m; ++k)
            expected.add_polygon(added[k].points, added[k].type, reference.edit_result()->surfaces()[added[k].surface],
                                 true, added[k].id);
        EXPECT_TRUE(*host.edit_result() == expected);
        EXPECT_TRUE(host.current() == grid);
    }
}

TEST(edge_spin, monitor_over_513_triangles)
{
    // the 16 x 16 grid and one triangle more on its right edge
    minihost::mesh m = minihost::grid_mesh(16, 16, -8);
    uint32_t tip = m.add_point({9, 0.5, 0});
    m.add_polygon({17, tip, 34});
    ASSERT_EQ(m.polygon_count(), 513u);

    minihost::host host(m);
    EXPECT_EQ(run_linked(host), 0);
    size_t pairs = testing_support::spun_pairs(host.log()).size();
    EXPECT_GT(pairs, 0u);

    std::vector<uint32_t> steps(512, 1);
    steps.resize(512 + pairs, 2);
    EXPECT_EQ(host.progress().total, 1026u);
    EXPECT_EQ(host.progress().steps, steps);
    std::vector<std::string> closing = testing_support::abort_closing(513);
    closing.erase(closing.begin()); // no message
    closing.back() = "end_edit 0 2";
    EXPECT_EQ(last(host.log(), 9), closing);

    // without a monitor: no step, the same edit
    minihost::host unmonitored(m);
    unmonitored.fault.create_null = true;
    EXPECT_EQ(run_linked(unmonitored), 0);
    EXPECT_THAT(unmonitored.progress().steps, IsEmpty());
    EXPECT_TRUE(unmonitored.edit_result() == host.edit_result());
}

} // namespace
