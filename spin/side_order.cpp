#include "spin/spin.h"

// The centroid's x is t / 3; the sign of t decides, so the product is never
// formed (it would underflow to zero for the smallest subnormal t). The two
// additions are made in this order, each rounded to a double: the build
// forbids contraction and excess precision.
static bool on_positive_side(mesh_edit *op, polygon_id polygon)
{
    const polygon_record *record = op->polygon_info(op->state, polygon);
    if (!record || !record->points)
        return false;

    // the point ids are read from the record just before each call that
    // needs them: the record stays valid until the next polygon_info
    const point_record *point = op->point_info(op->state, record->points[0]);
    if (!point)
        return false;
    double x1 = point->position[0];

    point = op->point_info(op->state, record->points[1]);
    if (!point)
        return false;
    double x2 = point->position[0];

    point = op->point_info(op->state, record->points[2]);
    if (!point)
        return false;
    double x3 = point->position[0];

    double s = x1 + x2;
    double t = s + x3;
    return t > 0.0;
}

void order_sides(const spin_data *d, polygon_id *sortpolys, int32_t *sortflag, int32_t *positive_count)
{
    // first pass: the positive side, in collection order
    for (int32_t i = 0; i < d->count; ++i)
    {
        if (on_positive_side(d->op, d->polygons[i]))
        {
            sortpolys[*positive_count] = d->polygons[i];
            *positive_count += 1;
            sortflag[i] = 1;
        }
    }

    // second pass: the rest, decided by the flags alone
    int32_t out = *positive_count;
    for (int32_t i = 0; i < d->count; ++i)
    {
        if (!sortflag[i])
            sortpolys[out++] = d->polygons[i];
    }
}
