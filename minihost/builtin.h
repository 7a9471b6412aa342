#pragma once

#include <cstdint>

#include "minihost/mesh.h"

namespace minihost
{

// A small mesh that shows the command on a machine with no file at hand:
// a 3 x 2 grid of squares across x = 0, each square split into two
// selected triangles.
mesh builtin_mesh();

// Generated test and benchmark meshes: a cols x rows grid of squares, two
// triangles each, with x running from x0 in steps of 1.
mesh grid_mesh(int cols, int rows, double x0 = 0.0);

// The same points and polygons with the same ids, the polygons in an order
// drawn from seed.
mesh shuffled(const mesh &m, uint32_t seed);

// Selections that make a naive pairing quadratic, n triangles each, around x = 0:
// a star around one point whose triangles share no edge,
mesh star_mesh(int n);
// n copies of one triangle,
mesh copies_mesh(int n);
// a non-manifold fan of n triangles on one edge,
mesh fan_mesh(int n);
// slivers collapsed onto one edge and its ends: (a, a, b), (a, b, b), (b, a, a), (a, a, a), ...
mesh sliver_mesh(int n);

} // namespace minihost
