#include "spin/spin.h"

#include "spin/pair_index.h"

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

// the current triangle at o first, its partner at i second; only the
// partner is marked taken
static void take_pair(const polygon_id *sortpolys, int32_t o, int32_t i, polygon_id *sharepolys, int32_t *shareflag,
                      int32_t *share_count)
{
    sharepolys[*share_count] = sortpolys[o];
    sharepolys[*share_count + 1] = sortpolys[i];
    *share_count += 2;
    shareflag[i] = 1;
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
                take_pair(sortpolys, o, i, sharepolys, shareflag, share_count);
                break;
            }
        }
    }

    return phase_complete;
}

// The same loop as the plain scan, with the candidate search through the index.
static phase_outcome pair_with_index(pair_index *index, const polygon_id *sortpolys, polygon_id *sharepolys,
                                     int32_t *shareflag, int32_t *share_count, monitor *progress)
{
    int32_t n = index->count;

    for (int32_t o = 0; o < n - 1; ++o)
    {
        if (progress && progress->step(progress->data, 1) != 0)
            return phase_aborted;

        if (shareflag[o])
            continue;

        int32_t i = pair_index_find(index, o, shareflag);
        if (i >= 0)
            take_pair(sortpolys, o, i, sharepolys, shareflag, share_count);
    }

    return phase_complete;
}

phase_outcome pair_triangles(const spin_data *d, const polygon_id *sortpolys, polygon_id *sharepolys,
                             int32_t *shareflag, int32_t *share_count, monitor *progress)
{
    // without room for the index the plain scan finds the same pairs, only slower
    pair_index index;
    if (!pair_index_build(&index, d, sortpolys))
        return pair_triangles_scan(d, sortpolys, sharepolys, shareflag, share_count, progress);

    phase_outcome outcome = pair_with_index(&index, sortpolys, sharepolys, shareflag, share_count, progress);
    pair_index_free(&index);
    return outcome;
}
