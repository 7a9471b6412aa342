// Small fixture meshes shared by the tests.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <limits>
#include <random>

#include "minihost/builtin.h"
#include "minihost/mesh.h"

namespace testing_support
{

// Two triangles sharing the edge 101-103 of a unit square at x in [1, 2]:
//
//   104 ---- 103
//    |  12 /  |
//    |   /    |
//    | /  11  |
//   101 ---- 102
inline minihost::mesh square(bool second_selected = true)
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

// A strip of n selected triangles at x >= 1, triangle i (from 1) on the
// points i, i + 1, i + 2, so that each shares an edge with the next:
//
//   2 ----- 4 ----- 6 ...
//   | \  2  | \  4  |
//   |  1  \ |  3  \ |
//   1 ----- 3 ----- 5 ...
inline minihost::mesh strip(int n)
{
    minihost::mesh m;
    for (int j = 0; j < n + 2; ++j)
        m.add_point({1.0 + j / 2, double(j % 2), 0.0});
    for (uint32_t i = 1; i <= uint32_t(n); ++i)
        m.add_polygon({i, i + 1, i + 2});
    return m;
}

// One of everything the command meets on a small scale:
//
//   4 ------ 3     7          11 (1 2 3) FACE S1 and 12 (1 3 4) PTCH S2 share
//   |  12  / |     |\           1-3 and spin;
//   |    /   |     | \        13 (5 6 7) and 14 (5 5 6) pair by the counting
//   |  /  11 |     |13\         rule, but 14 has no apex: left as they are;
//   1 ------ 2     5---6      15 (1 2 3 4) is a quad, 16 (2 6 3) unselected,
//                             17 (3 2 6) "PTCH" with its code bytes reversed.
inline minihost::mesh one_of_everything()
{
    minihost::mesh m;
    const double xy[][2] = {{1, 0}, {2, 0}, {2, 1}, {1, 1}, {-3, 0}, {-2, 0}, {-3, 1}};
    for (uint32_t i = 0; i < 7; ++i)
        m.add_point({xy[i][0], xy[i][1], 0}, i + 1);
    m.add_polygon({1, 2, 3}, POLYTYPE_FACE, "S1", true, 11);
    m.add_polygon({1, 3, 4}, POLYTYPE_PTCH, "S2", true, 12);
    m.add_polygon({5, 6, 7}, POLYTYPE_FACE, "S1", true, 13);
    m.add_polygon({5, 5, 6}, POLYTYPE_FACE, "S1", true, 14);
    m.add_polygon({1, 2, 3, 4}, POLYTYPE_FACE, "S1", true, 15);
    m.add_polygon({2, 6, 3}, POLYTYPE_FACE, "S1", false, 16);
    m.add_polygon({3, 2, 6}, HOST_FOURCC('H', 'C', 'T', 'P'), "S1", true, 17);
    return m;
}

// A triangulated grid across x = 0 with `triangles` triangles (even), two
// rows high; above 512 triangles the command opens a monitor.
inline minihost::mesh grid_of(int triangles)
{
    int cols = triangles / 4;
    return minihost::grid_mesh(cols, 2, -cols / 2.0 - 0.25);
}

// The same points and polygons, with the same ids, the polygons in an order
// shuffled by seed (the order the host's scan visits them).
inline minihost::mesh shuffled(const minihost::mesh &m, uint32_t seed)
{
    minihost::mesh out;
    for (uint32_t id : m.point_ids())
        out.add_point(*m.point(id), id);
    std::vector<minihost::polygon> polygons = m.polygon_list();
    std::shuffle(polygons.begin(), polygons.end(), std::mt19937(seed));
    for (const minihost::polygon &p : polygons)
        out.add_polygon(p.points, p.type, m.surfaces()[p.surface], p.flags & POLYFLAG_SELECTED, p.id);
    return out;
}

// x coordinates that break arithmetic, for random and fuzzed meshes
inline const double odd_coordinates[16] = {std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity(),
                                           -0.0,
                                           0.0,
                                           std::numeric_limits<double>::denorm_min(),
                                           -std::numeric_limits<double>::denorm_min(),
                                           DBL_MIN,
                                           DBL_MAX,
                                           -DBL_MAX,
                                           1e16,
                                           -1e16,
                                           1.0,
                                           -1.0,
                                           0x1p-1073,
                                           -0x1p-1073};

// polygon types of random and fuzzed meshes: mostly the two the command takes
inline const uint32_t drawn_types[8] = {POLYTYPE_FACE,
                                        POLYTYPE_FACE,
                                        POLYTYPE_FACE,
                                        POLYTYPE_FACE,
                                        POLYTYPE_PTCH,
                                        POLYTYPE_PTCH,
                                        HOST_FOURCC('E', 'C', 'A', 'F'),
                                        HOST_FOURCC('P', 'O', 'L', 'Y')};

} // namespace testing_support
