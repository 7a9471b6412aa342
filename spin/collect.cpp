#include "spin/spin.h"

#include <stdint.h>
#include <stdlib.h>

spin_data dat;

int32_t collect_triangle(void *context, const polygon_record *polygon)
{
    spin_data *d = static_cast<spin_data *>(context);

    if (!polygon)
        return 0;
    if (!(polygon->flags & POLYFLAG_SELECTED))
        return 0;
    if (polygon->point_count != 3)
        return 0;
    if (polygon->type != POLYTYPE_FACE && polygon->type != POLYTYPE_PTCH)
        return 0;

    // once the block could not grow, the driver reports it after the scan;
    // keep what is held and take nothing more
    if (d->growth_failed)
        return 0;

    if (d->count == INT32_MAX || size_t(d->count) + 1 > SIZE_MAX / sizeof(polygon_id))
    {
        d->growth_failed = 1;
        return 0;
    }

    // never write null over the block we still own
    void *grown = realloc(d->polygons, (size_t(d->count) + 1) * sizeof(polygon_id));
    if (!grown)
    {
        d->growth_failed = 1;
        return 0;
    }

    d->polygons = static_cast<polygon_id *>(grown);
    d->polygons[d->count] = polygon->id;
    d->count += 1;
    return 0;
}
