// The side test of the 32-bit build on the same rounding cases as the 64-bit
// tests: a build that kept excess precision or contracted the sum into an
// FMA would decide some of them the other way.
#include "check.h"
#include "spin/spin.h"
#include "tests/support/side_cases.h"

namespace
{

// A host edit holding one triangle of the points 1, 2, 3, serving the two
// reads side ordering makes.
struct one_triangle
{
    mesh_edit edit{};
    point_id points[3] = {point_id(1), point_id(2), point_id(3)};
    polygon_record polygon{};
    point_record point{};
    const double *x = nullptr;

    explicit one_triangle(const double *xs) : x(xs)
    {
        edit.state = this;
        edit.polygon_info = [](void *state, polygon_id) -> const polygon_record *
        {
            one_triangle &t = *static_cast<one_triangle *>(state);
            t.polygon.point_count = 3;
            t.polygon.points = t.points;
            return &t.polygon;
        };
        edit.point_info = [](void *state, point_id id) -> const point_record *
        {
            one_triangle &t = *static_cast<one_triangle *>(state);
            t.point.position[0] = t.x[reinterpret_cast<uintptr_t>(id) - 1];
            return &t.point;
        };
    }
};

} // namespace

M32_CASE(rounding_decides_the_side_as_the_sum_in_point_order)
{
    for (const side_case &c : side_cases)
    {
        one_triangle host(c.x);
        polygon_id polygons[1] = {polygon_id(1)};
        spin_data d{&host.edit, 1, polygons, 0};
        polygon_id sortpolys[1] = {};
        int32_t sortflag[1] = {0};
        int32_t positive_count = 0;
        order_sides(&d, sortpolys, sortflag, &positive_count);

        if (!CHECK_EQ(positive_count, c.positive) || !CHECK_EQ(sortflag[0], c.positive))
            std::cout << "    case: " << c.name << "\n";
    }
}
