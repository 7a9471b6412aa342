#include "spin/pair_index.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>

// tris_adjacent(candidate, current) counts the current triangle's entries
// whose id the candidate lists, and accepts a count of exactly 2. So with
// three distinct ids the candidate holds two of them, and lies in at least
// one of any two of their lists; with (x, x, y) it holds x and not y; with
// (x, x, x) nothing is ever accepted.

// point id -> point number; open addressing, power-of-two size, number -1
// in an empty slot (a key may be any value, null included); key and number
// share a slot so that a probe touches one cache line
struct point_slot
{
    point_id key;
    int32_t number;
};

struct point_table
{
    point_slot *slots;
    size_t size;
    int32_t used;
};

static size_t slot_of(point_id id, size_t size)
{
    uint64_t h = uint64_t(uintptr_t(id));
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return size_t(h) & (size - 1);
}

static bool table_alloc(point_table *t, size_t size)
{
    if (size > SIZE_MAX / sizeof(point_slot))
        return false;
    t->slots = static_cast<point_slot *>(malloc(size * sizeof(point_slot)));
    if (!t->slots)
        return false;
    for (size_t slot = 0; slot < size; ++slot)
        t->slots[slot].number = -1;
    t->size = size;
    return true;
}

static void table_free(point_table *t)
{
    free(t->slots);
    t->slots = nullptr;
}

static size_t free_slot(const point_table *t, point_id id)
{
    size_t slot = slot_of(id, t->size);
    while (t->slots[slot].number >= 0)
        slot = (slot + 1) & (t->size - 1);
    return slot;
}

static bool table_grow(point_table *t)
{
    point_table grown = *t;
    if (t->size > SIZE_MAX / 2 || !table_alloc(&grown, t->size * 2))
        return false;
    for (size_t slot = 0; slot < t->size; ++slot)
        if (t->slots[slot].number >= 0)
            grown.slots[free_slot(&grown, t->slots[slot].key)] = t->slots[slot];
    table_free(t);
    *t = grown;
    return true;
}

// the point's number, a new one when it is new; -1 when the table cannot grow
static int32_t table_number(point_table *t, point_id id)
{
    size_t slot = slot_of(id, t->size);
    for (; t->slots[slot].number >= 0; slot = (slot + 1) & (t->size - 1))
        if (t->slots[slot].key == id)
            return t->slots[slot].number;

    // keep the load under 3/4: probes stay short
    if (size_t(t->used + 1) * 4 > t->size * 3)
    {
        if (!table_grow(t))
            return -1;
        slot = free_slot(t, id);
    }
    t->slots[slot].key = id;
    t->slots[slot].number = t->used;
    return t->used++;
}

// reads the triangles and numbers their points; false when out of memory
static bool read_corners(pair_index *index, const spin_data *d, const polygon_id *sortpolys)
{
    // sized for a closed mesh (about half a point per triangle) at a load of
    // at most 1/2; grows for anything looser
    size_t size = 16;
    while (size < size_t(index->count))
        size *= 2;

    point_table table = {nullptr, 0, 0};
    if (!table_alloc(&table, size))
        return false;

    // a run of triangles is read first and the slots of its points fetched
    // together, so that the table's cache misses overlap instead of queueing
    const int32_t run = 16;
    point_id ids[run][3];
    bool missing[run];

    mesh_edit *op = d->op;
    for (int32_t start = 0; start < index->count; start += run)
    {
        int32_t end = index->count - start < run ? index->count : start + run;

        for (int32_t pos = start; pos < end; ++pos)
        {
            const polygon_record *record = op->polygon_info(op->state, sortpolys[pos]);
            missing[pos - start] = !record || !record->points;
            if (missing[pos - start])
                continue;
            for (int32_t k = 0; k < 3; ++k)
            {
                ids[pos - start][k] = record->points[k];
                __builtin_prefetch(&table.slots[slot_of(record->points[k], table.size)]);
            }
        }

        for (int32_t pos = start; pos < end; ++pos)
        {
            int32_t *corner = index->corners + 3 * size_t(pos);
            if (missing[pos - start])
            {
                // adjacent to nothing, as in tris_adjacent
                corner[0] = corner[1] = corner[2] = -1;
                continue;
            }
            for (int32_t k = 0; k < 3; ++k)
            {
                corner[k] = table_number(&table, ids[pos - start][k]);
                if (corner[k] < 0)
                {
                    table_free(&table);
                    return false;
                }
            }
        }
    }

    index->points = table.used;
    table_free(&table);
    return true;
}

// a triangle stands once in the list of each of its distinct points
static bool lists_point(const int32_t *corner, int32_t k)
{
    return corner[0] >= 0 && (k == 0 || (k == 1 && corner[1] != corner[0]) ||
                              (k == 2 && corner[2] != corner[0] && corner[2] != corner[1]));
}

static bool build_lists(pair_index *index)
{
    size_t points = size_t(index->points);
    index->first = static_cast<int32_t *>(calloc(points + 1, sizeof(int32_t)));
    index->head = static_cast<int32_t *>(malloc((points + 1) * sizeof(int32_t)));
    if (!index->first || !index->head)
        return false;

    for (int32_t pos = 0; pos < index->count; ++pos)
    {
        const int32_t *corner = index->corners + 3 * size_t(pos);
        for (int32_t k = 0; k < 3; ++k)
            if (lists_point(corner, k))
                index->first[corner[k] + 1] += 1;
    }
    for (size_t p = 0; p < points; ++p)
        index->first[p + 1] += index->first[p];

    size_t entries = size_t(index->first[points]);
    index->positions = static_cast<int32_t *>(malloc((entries ? entries : 1) * sizeof(int32_t)));
    if (!index->positions)
        return false;

    // filled in sortpolys order, so each list is increasing
    memcpy(index->head, index->first, points * sizeof(int32_t));
    for (int32_t pos = 0; pos < index->count; ++pos)
    {
        const int32_t *corner = index->corners + 3 * size_t(pos);
        for (int32_t k = 0; k < 3; ++k)
            if (lists_point(corner, k))
                index->positions[index->head[corner[k]]++] = pos;
    }
    memcpy(index->head, index->first, points * sizeof(int32_t));
    return true;
}

static int32_t match_count(const int32_t *candidate, const int32_t *current)
{
    int32_t matches = 0;
    for (int32_t j = 0; j < 3; ++j)
        matches += current[j] == candidate[0] || current[j] == candidate[1] || current[j] == candidate[2];
    return matches;
}

static void sort3(const int32_t *in, int32_t out[3])
{
    int32_t a = in[0], b = in[1], c = in[2], t;
    if (a > b)
        t = a, a = b, b = t;
    if (b > c)
        t = b, b = c, c = t;
    if (a > b)
        t = a, a = b, b = t;
    out[0] = a, out[1] = b, out[2] = c;
}

// triangles with the same ids, counted with repeats, accept and refuse the
// same candidates
static bool same_ids(const int32_t *corner, const int32_t sorted[3])
{
    int32_t other[3];
    sort3(corner, other);
    return other[0] == sorted[0] && other[1] == sorted[1] && other[2] == sorted[2];
}

static int32_t list_length(const pair_index *index, int32_t point)
{
    return index->first[point + 1] - index->first[point];
}

// the first entry of the point's list at or after position from; entries at
// or before o and taken ones at the front are dropped for good on the way
static int32_t list_start(pair_index *index, int32_t point, int32_t o, int32_t from, const int32_t *shareflag)
{
    int32_t end = index->first[point + 1];
    int32_t at = index->head[point];
    while (at < end && (index->positions[at] <= o || shareflag[index->positions[at]]))
        ++at;
    index->head[point] = at;

    // known failures ahead: skip them by halving
    int32_t low = at, high = end;
    while (low < high)
    {
        int32_t mid = low + (high - low) / 2;
        if (index->positions[mid] < from)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

// up to two lists walked together, in position order
struct merged_walk
{
    const int32_t *positions;
    int32_t at[2], end[2];
};

// the next position of either list, once even when both hold it; INT32_MAX at the end
static int32_t walk_next(merged_walk *w)
{
    int32_t a = w->at[0] < w->end[0] ? w->positions[w->at[0]] : INT32_MAX;
    int32_t b = w->at[1] < w->end[1] ? w->positions[w->at[1]] : INT32_MAX;
    int32_t p = a < b ? a : b;
    if (a == p && a != INT32_MAX)
        ++w->at[0];
    if (b == p && b != INT32_MAX)
        ++w->at[1];
    return p;
}

int32_t pair_index_build(pair_index *index, const spin_data *d, const polygon_id *sortpolys)
{
    assert(d->count >= 0);
    memset(index, 0, sizeof *index);
    index->count = d->count;

    // list entries are counted in 32 bits
    if (size_t(index->count) > size_t(INT32_MAX) / 3)
        return 0;

    index->corners = static_cast<int32_t *>(malloc(3 * size_t(index->count) * sizeof(int32_t)));
    if (!index->corners || !read_corners(index, d, sortpolys) || !build_lists(index))
    {
        pair_index_free(index);
        return 0;
    }

    index->resume = static_cast<int32_t *>(calloc(size_t(index->count), sizeof(int32_t)));
    if (!index->resume)
    {
        pair_index_free(index);
        return 0;
    }
    return 1;
}

void pair_index_free(pair_index *index)
{
    free(index->corners);
    free(index->first);
    free(index->head);
    free(index->positions);
    free(index->resume);
    memset(index, 0, sizeof *index);
}

int32_t pair_index_find(pair_index *index, int32_t o, const int32_t *shareflag)
{
    const int32_t *current = index->corners + 3 * size_t(o);
    if (current[0] < 0)
        return -1;

    // triangles with the same ids share one cursor, kept by the first of
    // them whose walk met the others: all before it is known to fail them
    int32_t group = index->resume[o] < 0 ? -1 - index->resume[o] : o;
    int32_t from = index->resume[group] > o + 1 ? index->resume[group] : o + 1;
    if (from >= index->count)
        return -1;

    int32_t sorted[3];
    sort3(current, sorted);

    // the lists that every accepted candidate stands in
    int32_t walked[2];
    int32_t lists = 2;
    if (sorted[0] != sorted[1] && sorted[1] != sorted[2])
    {
        // the two shortest of the three; ties by number, so that triangles
        // with the same ids walk the same lists
        int32_t l0 = list_length(index, sorted[0]), l1 = list_length(index, sorted[1]),
                l2 = list_length(index, sorted[2]);
        if (l2 < l0 || l2 < l1)
            walked[0] = l0 <= l1 ? sorted[0] : sorted[1], walked[1] = sorted[2];
        else
            walked[0] = sorted[0], walked[1] = sorted[1];
    }
    else if (sorted[0] != sorted[2])
    {
        // (x, x, y): the repeated id, which sorts to the middle
        walked[0] = sorted[1];
        lists = 1;
    }
    else
        return -1;

    merged_walk walk = {index->positions, {0, 0}, {0, 0}};
    for (int32_t w = 0; w < lists; ++w)
    {
        walk.at[w] = list_start(index, walked[w], o, from, shareflag);
        walk.end[w] = index->first[walked[w] + 1];
    }

    int32_t found = -1;
    for (int32_t p = walk_next(&walk); p != INT32_MAX; p = walk_next(&walk))
    {
        if (shareflag[p])
            continue;
        const int32_t *candidate = index->corners + 3 * size_t(p);
        if (match_count(candidate, current) == 2)
        {
            found = p;
            break;
        }
        if (same_ids(candidate, sorted))
            index->resume[p] = -1 - group;
    }

    // the found one is taken: the group goes on after it
    index->resume[group] = found >= 0 ? found : index->count;
    return found;
}
