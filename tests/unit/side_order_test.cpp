#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command.h"
#include "minihost/direct.h"
#include "phases.h"
#include "side_cases.h"
#include "spin/spin.h"

using testing::ElementsAre;
using testing::ElementsAreArray;

namespace
{

struct ordering
{
    std::vector<uint32_t> sortpolys;
    std::vector<int32_t> sortflag;
    int32_t positive_count = 0;
};

ordering order(minihost::host &host, const std::vector<uint32_t> &collected)
{
    ordering out;
    minihost::run_in_edit(host,
                          [&](mesh_edit &op)
                          {
                              std::vector<polygon_id> polygons = testing_support::handles(collected);
                              spin_data d{&op, int32_t(polygons.size()), polygons.data(), 0};
                              std::vector<polygon_id> sortpolys(polygons.size());
                              out.sortflag.assign(polygons.size(), 0);
                              order_sides(&d, sortpolys.data(), out.sortflag.data(), &out.positive_count);
                              out.sortpolys = testing_support::ids(sortpolys.data(), sortpolys.size());
                              return 0;
                          });
    return out;
}

// Each triangle made of points of its own, all at the given x.
minihost::mesh triangles_at(const std::vector<double> &xs)
{
    minihost::mesh m;
    for (double x : xs)
    {
        uint32_t p = m.add_point({x, 0, 0});
        uint32_t q = m.add_point({x, 1, 0});
        uint32_t r = m.add_point({x, 0, 1});
        m.add_polygon({p, q, r});
    }
    return m;
}

// The five triangles of the worked example; point 2 is in all of them.
//
//   triangle  points     x of the points
//   11        1 2 3      -1    0    0
//   12        4 5 2       1    2    0
//   13        1 4 3      -1    1    0
//   14        6 2 3       0.5  0    0
//   15        7 2 3       NaN  0    0
minihost::mesh worked_example()
{
    minihost::mesh m;
    const double xs[] = {-1, 0, 0, 1, 2, 0.5, NAN};
    for (double x : xs)
        m.add_point({x, 0, 0});
    m.add_polygon({1, 2, 3}, POLYTYPE_FACE, "default", true, 11);
    m.add_polygon({4, 5, 2}, POLYTYPE_FACE, "default", true, 12);
    m.add_polygon({1, 4, 3}, POLYTYPE_FACE, "default", true, 13);
    m.add_polygon({6, 2, 3}, POLYTYPE_FACE, "default", true, 14);
    m.add_polygon({7, 2, 3}, POLYTYPE_FACE, "default", true, 15);
    return m;
}

TEST(side_order, worked_example_reads_each_point_once_per_triangle)
{
    minihost::host host(worked_example());
    ordering result = order(host, {11, 12, 13, 14, 15});

    EXPECT_THAT(result.sortpolys, ElementsAre(12, 14, 11, 13, 15));
    EXPECT_THAT(result.sortflag, ElementsAre(0, 1, 0, 1, 0));
    EXPECT_EQ(result.positive_count, 2);
    EXPECT_THAT(testing_support::edit_calls(host),
                ElementsAre("polygon_info 11", "point_info 1", "point_info 2", "point_info 3", //
                            "polygon_info 12", "point_info 4", "point_info 5", "point_info 2", //
                            "polygon_info 13", "point_info 1", "point_info 4", "point_info 3", //
                            "polygon_info 14", "point_info 6", "point_info 2", "point_info 3", //
                            "polygon_info 15", "point_info 7", "point_info 2", "point_info 3"));
}

TEST(side_order, rounding_decides_the_side_as_the_sum_in_point_order)
{
    for (const side_case &c : side_cases)
    {
        SCOPED_TRACE(c.name);
        minihost::mesh m;
        for (double x : c.x)
            m.add_point({x, 0, 0});
        m.add_polygon({1, 2, 3});
        minihost::host host(std::move(m));

        ordering result = order(host, {1});
        EXPECT_EQ(result.positive_count, c.positive);
        EXPECT_THAT(result.sortflag, ElementsAre(c.positive));
    }
}

TEST(side_order, positive_side_first_each_group_in_collection_order)
{
    struct
    {
        const char *name;
        std::vector<double> xs; // one x per triangle, collected in this order
        std::vector<uint32_t> sortpolys;
        std::vector<int32_t> sortflag;
    } cases[] = {
        {"all positive", {1, 2, 3}, {1, 2, 3}, {1, 1, 1}},
        {"none positive", {-1, 0, NAN}, {1, 2, 3}, {0, 0, 0}},
        {"only the second positive", {-1, 1}, {2, 1}, {0, 1}},
        {"interleaved", {1, -1, 2, -2, 3}, {1, 3, 5, 2, 4}, {1, 0, 1, 0, 1}},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.name);
        minihost::host host(triangles_at(c.xs));
        std::vector<uint32_t> collected;
        for (uint32_t id = 1; id <= c.xs.size(); ++id)
            collected.push_back(id);

        ordering result = order(host, collected);
        EXPECT_EQ(result.sortpolys, c.sortpolys);
        EXPECT_EQ(result.sortflag, c.sortflag);
        EXPECT_EQ(result.positive_count, std::count(c.sortflag.begin(), c.sortflag.end(), 1));
    }
}

TEST(side_order, a_missing_record_ends_that_triangles_test_on_the_other_side)
{
    // two positive triangles, 11 = (1 2 3) and 12 = (4 5 6); the first one's
    // k-th read answers null
    const std::vector<std::string> second = {"polygon_info 12", "point_info 4", "point_info 5", "point_info 6"};
    struct
    {
        const char *name;
        minihost::faults fault;
        std::vector<std::string> first; // the first triangle's reads
    } cases[] = {
        {"polygon record", {.polygon_info_null_at = 1}, {"polygon_info 11"}},
        {"first point", {.point_info_null_at = 1}, {"polygon_info 11", "point_info 1"}},
        {"second point", {.point_info_null_at = 2}, {"polygon_info 11", "point_info 1", "point_info 2"}},
        {"third point", {.point_info_null_at = 3}, {"polygon_info 11", "point_info 1", "point_info 2", "point_info 3"}},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.name);
        minihost::mesh m;
        for (int i = 0; i < 6; ++i)
            m.add_point({1, double(i), 0});
        m.add_polygon({1, 2, 3}, POLYTYPE_FACE, "default", true, 11);
        m.add_polygon({4, 5, 6}, POLYTYPE_FACE, "default", true, 12);
        minihost::host host(std::move(m));
        host.fault = c.fault;

        ordering result = order(host, {11, 12});
        EXPECT_THAT(result.sortpolys, ElementsAre(12, 11));
        EXPECT_EQ(result.positive_count, 1);
        std::vector<std::string> calls = c.first;
        calls.insert(calls.end(), second.begin(), second.end());
        EXPECT_EQ(testing_support::edit_calls(host), calls);
    }
}

TEST(side_order, no_record_is_read_when_its_arrays_are_missing)
{
    // allocations: dat.polygons, its growth to 1 and to 2, sortpolys, sortflag
    struct
    {
        uint64_t fail_at;
        const char *message;
    } cases[] = {
        {4, "error \"Out of memory (malloc failed for sortpolys)\" \"\""},
        {5, "error \"Out of memory (malloc failed for sortflag)\" \"\""},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.message);
        minihost::host host(triangles_at({1, 1}));
        EXPECT_EQ(testing_support::run_linked(host, c.fail_at), 0);
        EXPECT_THAT(testing_support::host_calls(host),
                    ElementsAre("begin_edit 0 0 1", "lookup \"Info Messages\" 1", "lookup \"QDX: Dynamic Monitor\" 0",
                                "scan_polygons 1", c.message, "lookup \"Info Messages\" 2", "end_edit 0 2"));
    }
}

} // namespace
