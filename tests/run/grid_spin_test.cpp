#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "minihost/builtin.h"
#include "minihost/minihost.h"
#include "openmesh_spin.h"
#include "plugin_file.h"
#include "spun.h"

using testing::IsEmpty;
using testing_support::spun_pair;

namespace
{

// A grid across x = 0 whose triangles carry both types and several
// surfaces, a few of them left unselected.
minihost::mesh mixed_grid(int cols, int rows, double x0)
{
    minihost::mesh m = minihost::grid_mesh(cols, rows, x0);
    for (const minihost::polygon &p : m.polygon_list())
    {
        minihost::polygon &q = *m.find(p.id);
        q.type = p.id % 3 == 0 ? POLYTYPE_PTCH : POLYTYPE_FACE;
        q.surface = m.surface("S" + std::to_string(p.id % 5));
        if (p.id % 11 == 0)
            q.flags = 0;
    }
    return m;
}

struct grid_case
{
    const char *name;
    minihost::mesh (*make)();
    bool monitored; // more than 512 triangles selected
};

const grid_case grids[] = {
    {"row_order", [] { return mixed_grid(12, 9, -5.5); }, false},
    {"shuffled", [] { return minihost::shuffled(mixed_grid(12, 9, -5.5), 7); }, false},
    {"shuffled_monitored", [] { return minihost::shuffled(mixed_grid(20, 15, -9.75), 11); }, true},
};

void PrintTo(const grid_case &c, std::ostream *out)
{
    *out << c.name;
}

class grid_spin : public testing::TestWithParam<grid_case>
{
  protected:
    void SetUp() override
    {
        original = GetParam().make();
        host = std::make_unique<minihost::host>(original);
        ASSERT_EQ(host->run(testing_support::loaded_command()), 0);
        ASSERT_EQ(host->end_code(), 0);
        ASSERT_EQ(host->progress().created, GetParam().monitored ? 1 : 0);
        pairs = testing_support::spun_pairs(host->log());
        ASSERT_GT(pairs.size(), original.polygon_count() / 4);
    }

    minihost::mesh original;
    std::unique_ptr<minihost::host> host;
    std::vector<spun_pair> pairs;
};

// the triangles the command collects that lie on the positive side
int32_t positive_count(const minihost::mesh &m)
{
    int32_t count = 0;
    m.each_polygon(
        [&](const minihost::polygon &p)
        {
            bool collected = (p.flags & POLYFLAG_SELECTED) && p.points.size() == 3 &&
                             (p.type == POLYTYPE_FACE || p.type == POLYTYPE_PTCH);
            if (collected && (m.point(p.points[0])->x + m.point(p.points[1])->x) + m.point(p.points[2])->x > 0)
                ++count;
        });
    return count;
}

bool lists(const std::vector<uint32_t> &points, uint32_t id)
{
    return std::find(points.begin(), points.end(), id) != points.end();
}

// true when t runs through three of the quadrilateral's corners in its cyclic order
bool follows(const std::vector<uint32_t> &quad, const std::vector<uint32_t> &t)
{
    auto at = [&](uint32_t id) { return std::find(quad.begin(), quad.end(), id) - quad.begin(); };
    int turns = 0;
    for (size_t i = 0; i < 3; ++i)
        turns += int((at(t[(i + 1) % 3]) - at(t[i]) + 4) % 4);
    return turns == 4;
}

TEST_P(grid_spin, each_pair_becomes_its_arrangement_and_nothing_else_changes)
{
    const minihost::mesh &result = *host->edit_result();
    const std::vector<minihost::polygon> added = testing_support::added_polygons(original, result);
    ASSERT_EQ(added.size(), 2 * pairs.size());
    const int32_t positive = positive_count(original);

    std::set<uint32_t> paired;
    for (size_t k = 0; k < pairs.size(); ++k)
    {
        SCOPED_TRACE("pair " + std::to_string(k));
        const minihost::polygon &a = *original.find(pairs[k].first);
        const minihost::polygon &b = *original.find(pairs[k].second);
        EXPECT_FALSE(result.find(a.id) || result.find(b.id));
        paired.insert({a.id, b.id});

        // the corners P, U, Q, V in A's cyclic order, from A's apex
        size_t i = 0;
        while (lists(b.points, a.points[i]))
            ++i;
        uint32_t p = a.points[i], u = a.points[(i + 1) % 3], v = a.points[(i + 2) % 3];
        uint32_t q = *std::find_if(b.points.begin(), b.points.end(), [&](uint32_t id) { return !lists(a.points, id); });

        using list = std::vector<uint32_t>;
        bool front = int32_t(2 * k) < positive;
        const minihost::polygon &from_b = added[2 * k], &from_a = added[2 * k + 1];
        list for_b = front ? list{p, u, q} : list{p, q, v};
        list for_a = front ? list{q, v, p} : list{q, p, u};
        EXPECT_EQ(from_b.points, for_b);
        EXPECT_EQ(from_a.points, for_a);
        EXPECT_EQ(std::pair(from_b.type, result.surfaces()[from_b.surface]),
                  std::pair(b.type, original.surfaces()[b.surface]));
        EXPECT_EQ(std::pair(from_a.type, result.surfaces()[from_a.surface]),
                  std::pair(a.type, original.surfaces()[a.surface]));
        EXPECT_TRUE(follows({p, u, q, v}, from_b.points) && follows({p, u, q, v}, from_a.points));
    }
    EXPECT_EQ(paired.size(), 2 * pairs.size()) << "a triangle in two pairs";

    original.each_polygon(
        [&](const minihost::polygon &p)
        {
            if (!paired.contains(p.id))
            {
                EXPECT_TRUE(result.find(p.id) && *result.find(p.id) == p) << "polygon " << p.id << " changed";
            }
        });
    EXPECT_EQ(result.polygon_count(), original.polygon_count());
    EXPECT_THAT(minihost::check(host->current(), original.polygon_count()), IsEmpty());
    EXPECT_TRUE(host->current() == result);
}

TEST_P(grid_spin, openmesh_flipping_the_same_edges_gives_the_same_triangles)
{
    std::optional<std::vector<testing_support::triangle>> expected = testing_support::openmesh_spin(original, pairs);
    ASSERT_TRUE(expected) << "OpenMesh could not flip every pair's shared edge";
    std::vector<testing_support::triangle> spun = testing_support::triangles_of(host->current());

    std::vector<testing_support::triangle> only_command, only_openmesh;
    std::set_difference(spun.begin(), spun.end(), expected->begin(), expected->end(), std::back_inserter(only_command));
    std::set_difference(expected->begin(), expected->end(), spun.begin(), spun.end(),
                        std::back_inserter(only_openmesh));
    EXPECT_THAT(only_command, IsEmpty());
    EXPECT_THAT(only_openmesh, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(grids, grid_spin, testing::ValuesIn(grids),
                         [](const testing::TestParamInfo<grid_case> &param) { return std::string(param.param.name); });

} // namespace
