#include "spin/spin.h"

int32_t tris_adjacent(const spin_data *d, polygon_id first, polygon_id second)
{
    mesh_edit *op = d->op;

    const polygon_record *record = op->polygon_info(op->state, first);
    if (!record || !record->points)
        return 0;
    point_id f[3] = {record->points[0], record->points[1], record->points[2]};

    record = op->polygon_info(op->state, second);
    if (!record || !record->points)
        return 0;
    point_id s[3] = {record->points[0], record->points[1], record->points[2]};

    // each entry of the second triangle counts at most once, and one entry
    // of the first may match several when the second repeats an id
    int32_t used[3] = {0, 0, 0};
    int32_t matches = 0;
    for (int32_t i = 0; i < 3; ++i)
    {
        for (int32_t j = 0; j < 3; ++j)
        {
            if (!used[j] && s[j] == f[i])
            {
                matches += 1;
                used[j] = 1;
            }
        }
    }

    return matches == 2;
}

phase_outcome pair_triangles_scan(const spin_data *d, const polygon_id *sortpolys, polygon_id *sharepolys,
                                  int32_t *shareflag, int32_t *share_count, monitor *progress)
{
    int32_t n = d->count;

    for (int32_t o = 0; o < n - 1; ++o)
    {
        // the step comes first, also for a triangle already taken
        if (progress && progress->step(progress->data, 1) != 0)
            return phase_aborted;

        if (shareflag[o])
            continue;

        for (int32_t i = o + 1; i < n; ++i)
        {
            if (shareflag[i])
                continue;

            // the candidate goes first: the test is not symmetric
            if (tris_adjacent(d, sortpolys[i], sortpolys[o]))
            {
                sharepolys[*share_count] = sortpolys[o];
                sharepolys[*share_count + 1] = sortpolys[i];
                *share_count += 2;
                shareflag[i] = 1;
                break;
            }
        }
    }

    return phase_complete;
}

phase_outcome pair_triangles(const spin_data *d, const polygon_id *sortpolys, polygon_id *sharepolys,
                             int32_t *shareflag, int32_t *share_count, monitor *progress)
{
    return pair_triangles_scan(d, sortpolys, sharepolys, shareflag, share_count, progress);
}
