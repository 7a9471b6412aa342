// One load of the plug-in file serves ten thousand runs over random small
// meshes, each judged by the oracle. Under the sanitizers a block lost by any
// run shows when the program ends, and a stale module state in the next run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "meshes.h"
#include "oracle.h"
#include "plugin_file.h"

using testing::IsEmpty;

namespace
{

// Points with every kind of x a host may hold, polygons of 1 to 4 points
// drawn from few ids (so repeats and degenerate triangles are common), of
// the two types and others, mostly selected.
minihost::mesh random_mesh(std::mt19937 &rng)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    minihost::mesh m;
    int points = pick(1, 10);
    for (int k = 0; k < points; ++k)
    {
        double x = pick(0, 3) == 0 ? testing_support::odd_coordinates[pick(0, 15)] : pick(-30, 30) / 10.0;
        m.add_point({x, double(pick(0, 3)), 0});
    }

    const int sizes[] = {1, 2, 3, 3, 3, 3, 3, 3, 3, 4};
    int polygons = pick(0, 20);
    for (int k = 0; k < polygons; ++k)
    {
        std::vector<uint32_t> ids(static_cast<size_t>(sizes[pick(0, 9)]));
        for (uint32_t &id : ids)
            id = uint32_t(pick(1, points));
        m.add_polygon(ids, testing_support::drawn_types[pick(0, 7)], pick(0, 1) ? "A" : "B", pick(0, 4) != 0);
    }
    return m;
}

// one host fault in every fourth run
minihost::faults random_fault(std::mt19937 &rng)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    minihost::faults f;
    switch (pick(0, 11))
    {
    case 0:
        f.polygon_info_null_at = uint64_t(pick(1, 60));
        break;
    case 1:
        f.point_info_null_at = uint64_t(pick(1, 60));
        break;
    case 2:
        f.scan_fails = true;
        f.scan_fail_after = size_t(pick(0, 20));
        f.scan_result = pick(-2, 9);
        break;
    default:
        break;
    }
    return f;
}

TEST(repeated_use, ten_thousand_random_runs_on_one_load)
{
    activate_fn command = testing_support::loaded_command();
    std::mt19937 rng(2024);
    int spun = 0;
    for (int run = 0; run < 10000; ++run)
    {
        minihost::mesh original = random_mesh(rng);
        minihost::host host(original);
        host.fault = random_fault(rng);
        int32_t result = host.run(command);
        ASSERT_THAT(testing_support::oracle_loaded(original, host, result), IsEmpty()) << "run " << run;
        spun += host.edit_result() && !(*host.edit_result() == original);
    }
    EXPECT_GT(spun, 1000); // the meshes do spin, often
}

} // namespace
