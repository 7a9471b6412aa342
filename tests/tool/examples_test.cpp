// The tool on the shipped examples, its output read back with the OBJ reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>
#include <utility>

#include "tool_support.h"

namespace
{

using testing::HasSubstr;
using tool_support::example;
using tool_support::read_faces;
using tool_support::read_file;

using edge = std::pair<int, int>;

std::set<edge> edges_of(const std::vector<tool_support::face> &faces)
{
    std::set<edge> edges;
    for (const tool_support::face &f : faces)
        for (size_t k = 0; k < f.corners.size(); ++k)
        {
            int a = f.corners[k][0] + 1, b = f.corners[(k + 1) % f.corners.size()][0] + 1;
            edges.insert({std::min(a, b), std::max(a, b)});
        }
    return edges;
}

std::set<edge> minus(const std::set<edge> &a, const std::set<edge> &b)
{
    std::set<edge> rest;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(rest, rest.end()));
    return rest;
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Every square's falling diagonal becomes its rising one:
//
//   6-----7-----8-----9----10        6-----7-----8-----9----10
//   | \   | \   | \   | \   |   ->   |   / |   / |   / |   / |
//   |   \ |   \ |   \ |   \ |        | /   | /   | /   | /   |
//   1-----2-----3-----4-----5        1-----2-----3-----4-----5
//
// The two squares right of x = 0 come first and take the front arrangement,
// the two left of it the rear one; nothing but the face lines changes.
TEST(examples, strip_spins_every_square_and_keeps_every_other_byte)
{
    tool_support::scratch dir;
    std::string out = dir.path("strip.obj");
    tool_support::run r = tool_support::minihost({example("strip.obj"), "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;

    std::string expected = read_file(example("strip.obj"));
    std::string before = "f 1 2 6\nf 2 7 6\nf 2 3 7\nf 3 8 7\nf 3 4 8\nf 4 9 8\nf 4 5 9\nf 5 10 9\n";
    std::string after = "f 7 1 2\nf 1 7 6\nf 8 2 3\nf 2 8 7\nf 9 8 3\nf 3 4 9\nf 10 9 4\nf 4 5 10\n";
    ASSERT_NE(expected.find(before), std::string::npos);
    expected.replace(expected.find(before), before.size(), after);
    EXPECT_EQ(read_file(out), expected);
    EXPECT_THAT(r.out, HasSubstr("spun       4 pairs"));
    EXPECT_THAT(r.out, HasSubstr("written    " + out));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"strip.obj"}) << "no temporary file left behind";
}

// The grid's pairs, some across the material and texture seam at x = 0.5:
// the faces keep their groups and materials in place, untouched face lines
// keep their bytes, and every corner keeps a texture coordinate and normal
// that its point had in the old pair, its own face's where the two differ.
TEST(examples, grid_keeps_groups_materials_and_corner_attributes)
{
    tool_support::scratch dir;
    std::string out = dir.path("grid-spun.obj");
    tool_support::run r = tool_support::minihost({example("grid.obj"), "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("spun       6 pairs"));
    EXPECT_THAT(r.out, HasSubstr("unpaired   4 selected triangles"));
    EXPECT_THAT(r.out, HasSubstr("seams      4 new corners"));

    std::vector<tool_support::face> before = read_faces(example("grid.obj"), EXAMPLES_DIR);
    std::vector<tool_support::face> after = read_faces(out, EXAMPLES_DIR);
    ASSERT_EQ(after.size(), before.size());

    EXPECT_EQ(minus(edges_of(before), edges_of(after)),
              (std::set<edge>{{1, 7}, {3, 8}, {4, 9}, {6, 12}, {8, 13}, {9, 14}}));
    EXPECT_EQ(minus(edges_of(after), edges_of(before)),
              (std::set<edge>{{2, 6}, {2, 9}, {3, 10}, {7, 11}, {7, 14}, {8, 15}}));

    std::vector<std::string> old_lines = lines_of(read_file(example("grid.obj")));
    std::vector<std::string> new_lines = lines_of(read_file(out));
    ASSERT_EQ(new_lines.size(), old_lines.size());
    size_t changed = 0;
    for (size_t i = 0; i < old_lines.size(); ++i)
        if (old_lines[i] != new_lines[i])
        {
            ++changed;
            EXPECT_EQ(new_lines[i].rfind("f ", 0), 0u) << "line " << i + 1 << " is not a face line";
        }
    EXPECT_EQ(changed, 12u);

    for (size_t f = 0; f < after.size(); ++f)
    {
        EXPECT_EQ(after[f].group, before[f].group) << "face " << f + 1;
        EXPECT_EQ(after[f].material, before[f].material) << "face " << f + 1;
        for (const auto &c : after[f].corners)
        {
            auto own = std::find_if(before[f].corners.begin(), before[f].corners.end(),
                                    [&](const auto &o) { return o[0] == c[0]; });
            if (own != before[f].corners.end())
            {
                EXPECT_EQ(c, *own) << "face " << f + 1 << " point " << c[0] + 1;
                continue;
            }
            bool had = std::any_of(before.begin(), before.end(),
                                   [&](const tool_support::face &o)
                                   { return std::find(o.corners.begin(), o.corners.end(), c) != o.corners.end(); });
            EXPECT_TRUE(had) << "face " << f + 1 << " point " << c[0] + 1 << " has attributes it never had";
        }
    }
}

TEST(examples, fan_spins_spokes_into_rim_edges_and_keeps_normals)
{
    tool_support::scratch dir;
    std::string out = dir.path("fan.obj");
    tool_support::run r = tool_support::minihost({example("fan.obj"), "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;

    std::vector<tool_support::face> after = read_faces(out, EXAMPLES_DIR);
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(minus(edges_of(after), edges_of(read_faces(example("fan.obj"), EXAMPLES_DIR))),
              (std::set<edge>{{2, 4}, {4, 6}, {6, 8}, {2, 8}}));
    for (const tool_support::face &f : after)
        for (const auto &c : f.corners)
            EXPECT_EQ(c[2], 0) << "every corner keeps the one normal";
}

// With no input the built-in mesh takes the same road as a file.
TEST(examples, builtin_mesh_runs_and_writes)
{
    tool_support::scratch dir;
    std::string out = dir.path("builtin.obj");
    tool_support::run r = tool_support::minihost({"-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("input      (built-in mesh): 12 points, 12 faces"));
    EXPECT_THAT(r.out, HasSubstr("spun       4 pairs"));
    EXPECT_EQ(read_faces(out, "").size(), 12u);
}

} // namespace
