#include "spin/spin.h"

static bool lists(const point_id ids[3], point_id id)
{
    return ids[0] == id || ids[1] == id || ids[2] == id;
}

phase_outcome spin_edges(mesh_edit *op, const polygon_id *sharepolys, int32_t share_count, int32_t positive_count,
                         monitor *progress)
{
    // one list serves every addition: the host copies it during the call
    point_id added[3];

    for (int32_t e = 0; e < share_count; e += 2)
    {
        if (progress && progress->step(progress->data, 2) != 0)
            return phase_aborted;

        polygon_id a = sharepolys[e];
        polygon_id b = sharepolys[e + 1];

        // copy what is needed at once: the next polygon_info overwrites it
        const polygon_record *record = op->polygon_info(op->state, a);
        if (!record || !record->points)
            continue;
        uint32_t type_a = record->type;
        const void *surface_a = record->surface;
        point_id pa[3] = {record->points[0], record->points[1], record->points[2]};

        record = op->polygon_info(op->state, b);
        if (!record || !record->points)
            continue;
        uint32_t type_b = record->type;
        const void *surface_b = record->surface;
        point_id pb[3] = {record->points[0], record->points[1], record->points[2]};

        // the apex of A, and the two points after it in A's cyclic order
        int32_t i = 0;
        while (i < 3 && lists(pb, pa[i]))
            ++i;
        if (i == 3)
            continue; // not a pair the pairing can form; leave it be
        point_id p = pa[i];
        point_id u = pa[(i + 1) % 3];
        point_id v = pa[(i + 2) % 3];

        // the apex of B; B may have none when it repeats an id of A
        int32_t j = 0;
        while (j < 3 && lists(pa, pb[j]))
            ++j;
        if (j == 3)
            continue;
        point_id q = pb[j];

        // both arrangements add the triangles (P, U, Q) and (Q, V, P); they
        // differ in which old triangle's type and surface each one carries
        bool front = e < positive_count;

        if (front)
        {
            added[0] = p, added[1] = u, added[2] = q;
        }
        else
        {
            added[0] = p, added[1] = q, added[2] = v;
        }
        op->remove_polygon(op->state, b);
        op->add_polygon(op->state, type_b, nullptr, surface_b, 3, added);

        if (front)
        {
            added[0] = q, added[1] = v, added[2] = p;
        }
        else
        {
            added[0] = q, added[1] = p, added[2] = u;
        }
        op->remove_polygon(op->state, a);
        op->add_polygon(op->state, type_a, nullptr, surface_a, 3, added);
    }

    return phase_complete;
}
