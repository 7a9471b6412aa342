#include "minihost/builtin.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

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

mesh shuffled(const mesh &m, uint32_t seed)
{
    mesh out;
    for (uint32_t id : m.point_ids())
        out.add_point(*m.point(id), id);
    std::vector<polygon> polygons = m.polygon_list();
    std::shuffle(polygons.begin(), polygons.end(), std::mt19937(seed));
    for (const polygon &p : polygons)
        out.add_polygon(p.points, p.type, m.surfaces()[p.surface], p.flags & POLYFLAG_SELECTED, p.id);
    return out;
}

namespace
{

// points on the unit circle in the plane y = 0, so that half lie at x < 0
vec3 on_circle(int k, int n)
{
    double angle = 2 * std::numbers::pi * (k + 0.5) / n;
    return {std::cos(angle), 0.0, std::sin(angle)};
}

} // namespace

mesh star_mesh(int n)
{
    mesh m;
    uint32_t centre = m.add_point({0, 1, 0});
    for (int k = 0; k < n; ++k)
    {
        uint32_t a = m.add_point(on_circle(2 * k, 2 * n));
        uint32_t b = m.add_point(on_circle(2 * k + 1, 2 * n));
        m.add_polygon({centre, a, b});
    }
    return m;
}

mesh copies_mesh(int n)
{
    mesh m;
    uint32_t a = m.add_point({-1, 0, 0}), b = m.add_point({1, 0, 0}), c = m.add_point({0, 1, 0});
    for (int k = 0; k < n; ++k)
        m.add_polygon({a, b, c});
    return m;
}

mesh fan_mesh(int n)
{
    mesh m;
    uint32_t a = m.add_point({0, 0, 0}), b = m.add_point({0, 1, 0});
    for (int k = 0; k < n; ++k)
    {
        uint32_t p = m.add_point(on_circle(k, n));
        m.add_polygon({a, b, p});
    }
    return m;
}

mesh sliver_mesh(int n)
{
    mesh m;
    uint32_t a = m.add_point({-1, 0, 0}), b = m.add_point({2, 0, 0});
    for (int k = 0; k < n; ++k)
    {
        switch (k % 4)
        {
        case 0:
            m.add_polygon({a, a, b});
            break;
        case 1:
            m.add_polygon({a, b, b});
            break;
        case 2:
            m.add_polygon({b, a, a});
            break;
        default:
            m.add_polygon({a, a, a});
            break;
        }
    }
    return m;
}

mesh builtin_mesh()
{
    return grid_mesh(3, 2, -1.5);
}

} // namespace minihost
