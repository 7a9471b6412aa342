#include "minihost/builtin.h"

namespace minihost
{

mesh grid_mesh(int cols, int rows, double x0)
{
    mesh m;
    // points row by row: (col, row) has id row * (cols + 1) + col + 1
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c)
            m.add_point({x0 + c, double(r), 0.0});

    auto at = [&](int c, int r) { return uint32_t(r * (cols + 1) + c + 1); };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
        {
            // each square split along its rising diagonal
            m.add_polygon({at(c, r), at(c + 1, r), at(c + 1, r + 1)});
            m.add_polygon({at(c, r), at(c + 1, r + 1), at(c, r + 1)});
        }
    return m;
}

mesh builtin_mesh()
{
    return grid_mesh(3, 2, -1.5);
}

} // namespace minihost
