// Small fixture meshes shared by the tests.
#pragma once

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

} // namespace testing_support
