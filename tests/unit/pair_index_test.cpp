// Pairing through the index of shared points against the plain scan, which
// stays in the command as its fallback and serves here as the oracle.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "command.h"
#include "meshes.h"
#include "minihost/builtin.h"
#include "minihost/direct.h"
#include "spin/spin.h"

using testing_support::run_linked;

namespace testing_support
{
int32_t linked_activate(int32_t, service_lookup_fn, command_record *);
}

namespace
{

// Small meshes full of what pairing must survive: ids repeated inside a
// triangle, the same triangle twice in any order of its points, edges shared
// by three or more, other polygons, unselected ones, points on both sides.
minihost::mesh random_mesh(std::mt19937 &rng)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };

    minihost::mesh m;
    int points = pick(3, 9);
    for (int k = 0; k < points; ++k)
        m.add_point({double(pick(-3, 3)), double(pick(0, 3)), 0});

    std::vector<std::vector<uint32_t>> made;
    int polygons = pick(2, 40);
    for (int k = 0; k < polygons; ++k)
    {
        std::vector<uint32_t> ids;
        int kind = pick(0, 19);
        if (kind == 0)
            ids = {uint32_t(pick(1, points)), uint32_t(pick(1, points)), uint32_t(pick(1, points)),
                   uint32_t(pick(1, points))};
        else if (kind <= 3 && !made.empty())
        {
            ids = made[size_t(pick(0, int(made.size()) - 1))];
            std::shuffle(ids.begin(), ids.end(), rng);
        }
        else
            ids = {uint32_t(pick(1, points)), uint32_t(pick(1, points)), uint32_t(pick(1, points))};
        made.push_back(ids);

        uint32_t type = pick(0, 9) == 0   ? HOST_FOURCC('E', 'C', 'A', 'F')
                        : pick(0, 3) == 0 ? POLYTYPE_PTCH
                                          : POLYTYPE_FACE;
        m.add_polygon(ids, type, pick(0, 1) ? "A" : "B", pick(0, 9) != 0);
    }
    return m;
}

struct pairing_result
{
    std::vector<polygon_id> sharepolys;
    std::vector<int32_t> shareflag;
    phase_outcome outcome = phase_complete;
    friend bool operator==(const pairing_result &, const pairing_result &) = default;
};

using pairing_fn = phase_outcome (*)(const spin_data *, const polygon_id *, polygon_id *, int32_t *, int32_t *,
                                     monitor *);

// Collects and orders the selection as the command does, then pairs it with
// both pairings; fewer than two triangles give two empty results.
std::pair<pairing_result, pairing_result> pair_both(const minihost::mesh &m)
{
    std::pair<pairing_result, pairing_result> results;
    minihost::host host(m);
    host.keep_log = false;
    minihost::run_in_edit(host,
                          [&](mesh_edit &op)
                          {
                              spin_data d{&op, 0, static_cast<polygon_id *>(malloc(sizeof(polygon_id))), 0};
                              op.scan_polygons(op.state, collect_triangle, &d, 1);
                              if (d.count >= 2)
                              {
                                  size_t n = size_t(d.count);
                                  std::vector<polygon_id> sortpolys(n);
                                  std::vector<int32_t> sortflag(n);
                                  int32_t positive_count = 0;
                                  order_sides(&d, sortpolys.data(), sortflag.data(), &positive_count);

                                  auto run = [&](pairing_fn pair, pairing_result &out)
                                  {
                                      std::vector<polygon_id> sharepolys(n);
                                      out.shareflag.assign(n, 0);
                                      int32_t share_count = 0;
                                      out.outcome = pair(&d, sortpolys.data(), sharepolys.data(), out.shareflag.data(),
                                                         &share_count, nullptr);
                                      out.sharepolys.assign(sharepolys.begin(), sharepolys.begin() + share_count);
                                  };
                                  run(pair_triangles, results.first);
                                  run(pair_triangles_scan, results.second);
                              }
                              free(d.polygons);
                              return 0;
                          });
    return results;
}

// The allocation number (1-based, as the shim counts) of the index's first
// block: the one after shareflag, the driver's second calloc. 0 when the
// run never got that far.
uint64_t first_index_allocation(const std::vector<std::string> &allocations)
{
    int callocs = 0;
    for (size_t k = 0; k < allocations.size(); ++k)
        if (allocations[k].starts_with("calloc") && ++callocs == 2)
            return k + 2;
    return 0;
}

// What a host and a user see of a run; the reads of pairing may differ.
struct visible
{
    int32_t result = 0;
    std::optional<int32_t> end_code;
    std::optional<minihost::mesh> edit;
    std::vector<minihost::message> messages;
    int monitors = 0, closed = 0;
    uint32_t total = 0;
    std::vector<uint32_t> steps;
    std::vector<std::string> calls; // host calls but polygon_info, when logged
    int64_t blocks_left = 0;
    friend bool operator==(const visible &, const visible &) = default;
};

struct run_options
{
    uint64_t fail_at = 0;
    bool fail_after = false;
    uint64_t abort_at_step = 0;
    bool calls = true;
};

// Runs the linked command; the allocations it made go to allocations.
visible run_visible(const minihost::mesh &m, run_options o, std::vector<std::string> *allocations = nullptr)
{
    minihost::host host(m);
    host.keep_log = o.calls;
    host.fault.abort_at_step = o.abort_at_step;
    std::vector<std::string> lines;
    visible v;
    {
        fault_shim::armed shim(
            [&](std::string line)
            {
                if (!line.starts_with("free"))
                    lines.push_back(std::move(line));
            },
            o.fail_at, o.fail_after);
        v.result = host.run(&testing_support::linked_activate);
        v.blocks_left = fault_shim::state().live_blocks;
    }
    v.end_code = host.end_code();
    v.edit = host.edit_result();
    v.messages = host.messages();
    v.monitors = host.progress().created;
    v.closed = host.progress().done + host.progress().destroyed;
    v.total = host.progress().total;
    v.steps = host.progress().steps;
    for (const std::string &line : host.log())
        if (!line.starts_with("polygon_info"))
            v.calls.push_back(line);
    if (allocations)
        *allocations = std::move(lines);
    return v;
}

// A run with the index and one that falls back to the plain scan.
void expect_same_runs(const minihost::mesh &m, run_options o = {})
{
    std::vector<std::string> allocations;
    visible indexed = run_visible(m, o, &allocations);
    o.fail_at = first_index_allocation(allocations);
    visible scanned = run_visible(m, o);
    EXPECT_EQ(indexed, scanned);
    EXPECT_EQ(indexed.blocks_left, 0);
}

TEST(pair_index, accepts_exactly_what_tris_adjacent_accepts)
{
    // every triangle over four points, ids repeated or not, against every other
    minihost::mesh m;
    for (int k = 0; k < 4; ++k)
        m.add_point({double(k), 0, 0});
    std::vector<std::array<uint32_t, 3>> triangles;
    for (uint32_t a = 1; a <= 4; ++a)
        for (uint32_t b = 1; b <= 4; ++b)
            for (uint32_t c = 1; c <= 4; ++c)
                triangles.push_back({a, b, c}), m.add_polygon({a, b, c});

    // the consequence pairing relies on: three distinct ids need two of them
    // in the candidate, (x, x, y) needs x and not y, (x, x, x) nothing
    auto rule = [](std::array<uint32_t, 3> candidate, std::array<uint32_t, 3> current)
    {
        auto holds = [&](uint32_t id) { return std::ranges::count(candidate, id) > 0; };
        std::array<uint32_t, 3> s = current;
        std::ranges::sort(s);
        if (s[0] != s[1] && s[1] != s[2])
            return holds(s[0]) + holds(s[1]) + holds(s[2]) == 2;
        if (s[0] == s[2])
            return false;
        uint32_t twice = s[1], once = s[0] == s[1] ? s[2] : s[0];
        return holds(twice) && !holds(once);
    };

    minihost::host host(m);
    host.keep_log = false;
    int checked = 0;
    minihost::run_in_edit(host,
                          [&](mesh_edit &op)
                          {
                              spin_data d{&op, 0, nullptr, 0};
                              for (size_t i = 0; i < triangles.size(); ++i)
                                  for (size_t j = 0; j < triangles.size(); ++j, ++checked)
                                      EXPECT_EQ(tris_adjacent(&d, minihost::host::polygon_handle(uint32_t(i + 1)),
                                                              minihost::host::polygon_handle(uint32_t(j + 1))),
                                                rule(triangles[i], triangles[j]) ? 1 : 0)
                                          << "candidate " << i + 1 << ", current " << j + 1;
                              return 0;
                          });
    EXPECT_EQ(checked, 64 * 64);
}

TEST(pair_index, finds_the_pairs_of_the_plain_scan_on_random_meshes)
{
    std::mt19937 rng(7);
    int paired = 0;
    for (int seed = 0; seed < 10000; ++seed)
    {
        auto [indexed, scanned] = pair_both(random_mesh(rng));
        ASSERT_EQ(indexed, scanned) << "mesh " << seed;
        paired += !indexed.sharepolys.empty();
    }
    EXPECT_GT(paired, 5000); // the meshes do pair, often
}

TEST(pair_index, runs_like_the_plain_scan_on_random_meshes)
{
    // every fifth of the same meshes: the rest of the command is the same
    // code on the same pairs, and whole runs cost seconds under the sanitizers
    std::mt19937 rng(7);
    for (int seed = 0; seed < 10000 && !HasFailure(); ++seed)
    {
        minihost::mesh m = random_mesh(rng);
        SCOPED_TRACE(seed);
        if (seed % 5 == 0)
            expect_same_runs(m, {.calls = false});
    }
}

TEST(pair_index, finds_the_pairs_of_the_plain_scan_on_grids_and_worst_cases)
{
    // the 600 triangles of the larger grids open a monitor
    const std::vector<std::pair<const char *, minihost::mesh>> meshes = {
        {"grid", minihost::grid_mesh(7, 5, -3.5)},
        {"grid", minihost::grid_mesh(20, 15, -10)},
        {"shuffled grid", minihost::shuffled(minihost::grid_mesh(20, 15, -10), 1)},
        {"shuffled grid", minihost::shuffled(minihost::grid_mesh(9, 4, -2), 2)},
        {"star", minihost::star_mesh(200)},
        {"copies", minihost::copies_mesh(200)},
        {"fan", minihost::fan_mesh(201)},
        {"shuffled fan", minihost::shuffled(minihost::fan_mesh(200), 3)},
        {"slivers", minihost::sliver_mesh(200)},
        {"shuffled slivers", minihost::shuffled(minihost::sliver_mesh(200), 4)},
    };
    for (const auto &[name, m] : meshes)
    {
        SCOPED_TRACE(name);
        auto [indexed, scanned] = pair_both(m);
        EXPECT_EQ(indexed, scanned);
        expect_same_runs(m);
    }
}

// Two points apart on each triangle: no shared point at all, so the table of
// point ids outgrows its first size.
minihost::mesh apart_mesh(int n)
{
    minihost::mesh m = minihost::grid_mesh(4, 3, -2);
    for (int k = 0; k < n; ++k)
    {
        uint32_t a = m.add_point({double(k % 5) - 2, 0, 1}), b = m.add_point({0, 1, 1}), c = m.add_point({1, 1, 1});
        m.add_polygon({a, b, c});
    }
    return m;
}

TEST(pair_index, any_allocation_of_the_index_failing_changes_nothing_visible)
{
    // corners, the table of point ids, three blocks of lists, resume marks;
    // the second mesh grows the table twice
    const std::vector<std::pair<minihost::mesh, uint64_t>> meshes = {
        {minihost::shuffled(minihost::grid_mesh(12, 8, -6), 5), 6},
        {apart_mesh(40), 6 + 2},
    };
    for (const auto &[m, blocks] : meshes)
    {
        std::vector<std::string> allocations;
        visible indexed = run_visible(m, {}, &allocations);
        uint64_t first = first_index_allocation(allocations), last = allocations.size();
        ASSERT_EQ(last - first + 1, blocks);

        for (uint64_t fail_at = first; fail_at <= last; ++fail_at)
            for (bool fail_after : {false, true})
            {
                visible failed = run_visible(m, {.fail_at = fail_at, .fail_after = fail_after});
                // what runs after pairing allocates nothing: only the index can fail here
                EXPECT_EQ(failed, indexed) << "allocation " << fail_at << (fail_after ? " and later" : "");
            }
    }
}

TEST(pair_index, abort_at_a_pairing_step_leaves_what_the_plain_scan_leaves)
{
    minihost::mesh m = minihost::shuffled(minihost::grid_mesh(20, 15, -10), 6);
    for (uint64_t step : {1, 2, 3, 150, 599})
    {
        SCOPED_TRACE(step);
        expect_same_runs(m, {.abort_at_step = step});

        visible v = run_visible(m, {.abort_at_step = step});
        EXPECT_EQ(v.end_code, 4);
        EXPECT_EQ(v.edit, m);
        EXPECT_EQ(v.steps, std::vector<uint32_t>(step, 1));
    }
}

// two triangles sharing the edge 101-103, both at x > 0
TEST(pair_index, reads_each_triangle_once_and_frees_the_index_before_the_spin)
{
    minihost::mesh m = testing_support::square();

    auto run = [&](uint64_t fail_at, std::vector<std::string> pairing)
    {
        minihost::host host(m);
        run_linked(host, fail_at);
        std::vector<std::string> expected = {
            "begin_edit 0 0 1", "lookup \"Info Messages\" 1", "lookup \"QDX: Dynamic Monitor\" 0", "malloc 8",
            "scan_polygons 1", "realloc 8", "realloc 16",
            // side ordering
            "malloc 16", "calloc 2 4", "polygon_info 11", "point_info 101", "point_info 102", "point_info 103",
            "polygon_info 12", "point_info 101", "point_info 103", "point_info 104", "malloc 16", "calloc 2 4"};
        expected.insert(expected.end(), pairing.begin(), pairing.end());
        for (const char *line :
             {"polygon_info 11", "polygon_info 12", "remove_polygon 12", "add_polygon PTCH 0 S2 3 102 103 104",
              "remove_polygon 11", "add_polygon FACE 0 S1 3 104 101 102", "free 8", "free 16", "free 16", "free 8",
              "free 16", "lookup \"Info Messages\" 2", "end_edit 0 2"})
            expected.push_back(line);
        EXPECT_EQ(host.log(), expected);
    };

    // the corners and the table of point ids, one read a triangle, then the
    // lists of the four points (six entries) and the resume marks
    run(0, {"malloc 24", "malloc 256", "polygon_info 11", "polygon_info 12", "free 256", "calloc 5 4", "malloc 20",
            "malloc 24", "calloc 2 4", "free 24", "free 20", "free 20", "free 24", "free 8"});
    // no room for the corners: the plain scan, the candidate read first
    run(8, {"malloc 24 -> null", "polygon_info 12", "polygon_info 11"});
}

} // namespace
