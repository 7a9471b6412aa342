#pragma once

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

} // namespace minihost
